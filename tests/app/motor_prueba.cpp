#include "base/texto.h"
#include "comun/comun.h"
#include "engine/motor.h"

namespace {

// Installed only when the marker, trimmed, is the bundle's version and the interpreter runs.
TEST(Instalado, MarcaExactaEInterpreteQueCorre) {
    enum Python { corre, falta, sinPermiso, carpeta };
    // (the bundle's version, the marker or none, the interpreter, installed)
    const std::tuple<const char*, std::optional<QByteArray>, Python, bool> casos[] = {
        {"1.0.0", "\t1.0.0 \r\n\n", corre, true},
        {"1.0.0", "1.0\n", corre, false},
        {"1.0.0", "1.0.0.1\n", corre, false},
        {"1.0.0-rc", "1.0.0-RC\n", corre, false},
        {"1.0.0", "", corre, false},
        {"1.0.0", "1.0.0\n\xff", corre, false},
        {"", std::nullopt, corre, false},
        {"1.0.0", "1.0.0", falta, false},
        {"1.0.0", "1.0.0", sinPermiso, false},
        {"1.0.0", "1.0.0", carpeta, false},
    };
    for (const auto& [version, marca, python, instalada] : casos) {
        SCOPED_TRACE(marca.value_or("-").toStdString() + " / " + std::to_string(python));
        pruebas::Casa casa;
        const Globales g = casa.globales(version);
        if (marca)
            pruebas::escribir(g.DATOS + "/instalado.txt", *marca);
        if (python == carpeta)
            QDir().mkpath(g.PYTHON);
        else if (python != falta)
            pruebas::escribir(g.PYTHON, "#!/bin/sh\n", python == corre);
        EXPECT_EQ(instalado(g), instalada);
    }
}

// The line chosen is cut after 160 characters as a reader counts them (which line is chosen, and
// reading the file, are the ultima_linea fuzz target's).
TEST(UltimaLinea, LaQueExplicaYSuLargo) {
    const QString x160(160, u'x'), e160 = QString("e\u0301").repeated(160);
    const std::pair<QString, std::optional<QString>> casos[] = {
        {x160.chopped(1), x160.chopped(1)}, {x160, x160}, {x160 + "y", x160 + "…"}, {e160, e160},
        {e160 + "e", e160 + "…"},
    };
    for (const auto& [log, linea] : casos)
        EXPECT_EQ(lineaQueCuenta(log), linea) << log.left(40).toStdString();
}

} // namespace
