// The engine's side: the tools run for it, whether it is installed, and the
// line of its log that explains a failure.
#include "comun/comun.h"
#include "engine/correr.h"
#include "engine/motor.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A tool's standard output as it is: no shell in between, no PATH lookup,
// standard error dropped.
TEST(Correr, DevuelveLaSalidaEstandarTalCual) {
    const std::tuple<QString, QStringList, QString> casos[] = {
        {"/bin/echo", {"a b", "$HOME", "*"}, "a b $HOME *\n"},
        {"/bin/sh", {"-c", "echo fallo >&2; echo bien; exit 3"}, "bien\n"},
        {"echo", {"x"}, ""},
    };
    for (const auto& [programa, argumentos, esperado] : casos)
        EXPECT_EQ(correr(programa, argumentos), esperado) << programa.toStdString();
}

TEST(Instalado, LaMarcaNombraEstaVersionYPythonEsEjecutable) {
    const struct {
        QString version;
        std::optional<QByteArray> marca;
        char python; // '-' none, 'f' a plain file, 'x' executable
        bool esperado;
    } casos[] = {
        {"1.0.0", "1.0.0\r\n", 'x', true}, {"1.0.0", "0.9.0\n", 'x', false},
        {"beta", "BETA", 'x', false},      {"1.0.0", "1.0.0", 'f', false},
        {"1.0.0", "1.0.0", '-', false},    {"1.0.0", std::nullopt, 'x', false},
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
        // Without an interpreter no engine starts, and no pid stands for one.
        if (c.python == '-')
            EXPECT_FALSE(abrirVARNO(g));
    }
    EXPECT_FALSE(sigueVivo(0));
}

// The last line that is neither blank nor a "---" separator, trimmed; the
// last with "Error" or "error" wins; cut to 160 characters; nothing from a
// log that is not UTF-8.
TEST(UltimaLinea, EligeLaLineaQueExplica) {
    const std::pair<QByteArray, std::optional<QString>> casos[] = {
        {"a\nValueError: x\nb\nc\n", "ValueError: x"},
        {"Error uno\nmedio\nerror dos\nfin\n", "error dos"},
        {"ERROR grave\nfin\n", "fin"},
        {" \t real  \n---\n--- fin ---\n", "real"},
        {"a\r\nb\u2028c\u0085d", "d"},
        {"Error " + QByteArray(155, 'x') + "\nfin\n", "Error " + QString(154, 'x') + QChar(0x2026)},
        {" \n\t\n\n", std::nullopt},
        {"Error\xff\n", std::nullopt},
    };
    QTemporaryDir d;
    const QString ruta = d.filePath("mesa.log");
    for (const auto& [log, esperada] : casos) {
        pruebas::escribir(ruta, log);
        EXPECT_EQ(ultimaLinea(ruta), esperada) << log.left(40).data();
    }
}

} // namespace
