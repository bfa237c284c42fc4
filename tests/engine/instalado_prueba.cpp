#include "comun/comun.h"
#include "engine/motor.h"

#include <gtest/gtest.h>

namespace {

TEST(Instalado, LaMarcaNombraEstaVersionYPythonEsEjecutable) {
    struct Caso {
        QString version;
        std::optional<QByteArray> marca;
        char python; // '-' none, 'f' a plain file, 'x' executable
        bool esperado;
    };
    const Caso casos[] = {
        {"1.0.0", "1.0.0\r\n", 'x', true},   {"1.0.0", "1.0", 'x', false},
        {"beta", "BETA", 'x', false},        {"1.0.0", "0.9.0\n", 'x', false},
        {"1.0.0", "1.0.0", 'f', false},      {"1.0.0", "1.0.0", '-', false},
        {"1.0.0", std::nullopt, 'x', false}, {"", " \n", 'x', true},
        {"1.0.0", "", 'x', false},           {"1.0.0", "1.0.0\xff", 'x', false},
    };
    for (const auto& c : casos) {
        pruebas::Casa casa;
        Globales g = casa.globales(c.version);
        if (c.marca)
            pruebas::escribir(g.DATOS + "/instalado.txt", *c.marca);
        if (c.python != '-')
            pruebas::escribir(g.PYTHON, "#!/bin/sh\n", c.python == 'x');
        EXPECT_EQ(instalado(g), c.esperado)
            << c.version.toStdString() << " / " << c.marca.value_or("(sin marca)").data() << " / "
            << c.python;
    }
}

TEST(Motor, SinCurlNiInterpreteNadaArranca) {
    pruebas::Casa casa;
    Globales g = casa.globales();
    g.herramientas.curl = "/no/existe/curl";
    EXPECT_FALSE(responde(g));
    EXPECT_FALSE(abrirVARNO(g));
    EXPECT_FALSE(sigueVivo(0));
}

} // namespace
