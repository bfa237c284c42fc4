#include "comun/comun.h"
#include "engine/motor.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

TEST(Instalado, LaMarcaDebeNombrarEstaVersionYPythonSerEjecutable) {
    struct Caso {
        const char* nombre;
        QString version;
        std::optional<QByteArray> marca;
        int python; // 0 none, 1 file, 2 executable
        bool esperado;
    };
    const Caso casos[] = {
        {"igual con salto", "1.0.0", QByteArray("1.0.0\n"), 2, true},
        {"igual con CRLF", "1.0.0", QByteArray("1.0.0\r\n"), 2, true},
        {"prefijo no basta", "1.0.0", QByteArray("1.0"), 2, false},
        {"mayúsculas importan", "beta", QByteArray("BETA"), 2, false},
        {"versión anterior", "1.0.0", QByteArray("0.9.0\n"), 2, false},
        {"python no ejecutable", "1.0.0", QByteArray("1.0.0"), 1, false},
        {"sin python", "1.0.0", QByteArray("1.0.0"), 0, false},
        {"sin marca", "1.0.0", std::nullopt, 2, false},
        {"marca vacía y versión vacía", "", QByteArray(" \n"), 2, true},
        {"marca vacía y versión no", "1.0.0", QByteArray(""), 2, false},
        {"marca no UTF-8", "1.0.0", QByteArray("1.0.0\xff"), 2, false},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        pruebas::Casa casa;
        Globales g = casa.globales(c.version);
        g.VERSION = c.version;
        if (c.marca)
            pruebas::escribir(g.DATOS + "/instalado.txt", *c.marca);
        if (c.python)
            pruebas::escribir(g.PYTHON, "#!/bin/sh\n", c.python == 2);
        EXPECT_EQ(instalado(g), c.esperado);
    }
}

TEST(Responde, SinCurlONadieEnElPuertoEsFalso) {
    pruebas::Casa casa;
    Globales g = casa.globales();
    g.herramientas.curl = "/no/existe/curl";
    EXPECT_FALSE(responde(g));
}

TEST(AbrirVARNO, ArrancaDesligadoConSuEntorno) {
    pruebas::Casa casa;
    const Globales g = casa.globales();
    const QString huella = casa.home() + "/huella";
    // The interpreter leaves a trace of how it was started.
    pruebas::escribir(
        g.PYTHON,
        "#!/bin/sh\nsalida=$(readlink /proc/$$/fd/1)\n"
        "{ echo \"$@\"; pwd; echo \"$VARNO_APP\"; echo \"$OTRA\"; echo \"$salida\"; } > '" +
            huella.toUtf8() + ".tmp'\nmv '" + huella.toUtf8() + ".tmp' '" + huella.toUtf8() + "'\n",
        true);
    QDir().mkpath(g.DATOS + "/app");
    qputenv("VARNO_APP", "heredado");
    qputenv("OTRA", "sigue");
    const auto pid = abrirVARNO(g);
    qunsetenv("VARNO_APP");
    qunsetenv("OTRA");
    ASSERT_TRUE(pid);
    ASSERT_TRUE(pruebas::esperarHasta([&] { return QFile::exists(huella); }));
    const QStringList lineas = QString::fromUtf8(pruebas::leer(huella)).split('\n');
    EXPECT_EQ(lineas.value(0), "-m motor");
    EXPECT_EQ(lineas.value(1), g.DATOS + "/app");
    EXPECT_EQ(lineas.value(2), g.BUNDLE);
    EXPECT_EQ(lineas.value(3), "sigue");
    EXPECT_EQ(lineas.value(4), "/dev/null");
}

TEST(AbrirVARNO, SinInterpreteNoHayProceso) {
    pruebas::Casa casa;
    EXPECT_FALSE(abrirVARNO(casa.globales()));
    EXPECT_FALSE(sigueVivo(0));
}

} // namespace
