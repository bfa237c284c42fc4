#include "comun/comun.h"
#include "engine/motor.h"
#include "engine/partes.h"

namespace {

// Installed only when the marker, trimmed, is the bundle's version and the interpreter runs; an
// earlier one with any marker; leftovers with either.
TEST(Instalado, MarcaExactaEInterpreteQueCorre) {
    enum Python { corre, falta, sinPermiso, carpeta };
    using enum EstadoDelMotor;
    // (the bundle's version, the marker or none, the interpreter, what DATOS holds)
    const std::tuple<const char*, std::optional<QByteArray>, Python, EstadoDelMotor> casos[] = {
        {"1.0.0", "\t1.0.0 \r\n\n", corre, instalado},
        {"1.0.0", "1.0\n", corre, anterior},
        {"1.0.0", "1.0.0.1\n", corre, anterior},
        {"1.0.0-rc", "1.0.0-RC\n", corre, anterior},
        {"1.0.0", "1.0.0\n\xff", corre, anterior},
        {"", std::nullopt, corre, restos},
        {"1.0.0", "1.0.0", falta, restos},
        {"1.0.0", "1.0.0", sinPermiso, restos},
        {"1.0.0", "1.0.0", carpeta, restos},
        {"1.0.0", std::nullopt, falta, ninguno}};
    for (const auto& [version, marca, python, estado] : casos) {
        SCOPED_TRACE(marca.value_or("-").toStdString() + " / " + std::to_string(python));
        pruebas::Casa casa;
        const Globales g = casa.globales(version);
        if (marca)
            pruebas::escribir(g.DATOS + "/instalado.txt", *marca);
        if (python == carpeta)
            QDir().mkpath(g.PYTHON);
        else if (python != falta)
            pruebas::escribir(g.PYTHON, "#!/bin/sh\n", python == corre);
        EXPECT_EQ(estadoDelMotor(g), estado);
    }
}

// Each start's output after a mark of its own; past 1 MiB the newest 256 KiB stay, whole lines.
TEST(SalidaDelMotor, RecortadaYSoloLaUltimaArrancada) {
    const QByteArray linea = QByteArray(99, 'v') + '\n';
    // (what the file held, how many of its lines stay, or -1 for all of it)
    for (const auto& [antes, quedan] : {std::pair(QByteArray(), 0),
                                        {linea.repeated(10485) + QByteArray(75, 'w') + '\n', -1},
                                        {linea.repeated(10486), 2621}}) {
        pruebas::Casa casa;
        const Globales g = casa.globales();
        QDir().mkpath(g.DATOS + "/app");
        pruebas::escribir(g.PYTHON, "#!/bin/sh\necho \"con $*\"\necho 'Error: nuevo' >&2\n", true);
        if (!antes.isNull())
            pruebas::escribir(salidaDelMotor(g), antes);
        ASSERT_TRUE(abrirVARNO(g));
        QByteArray s;
        ASSERT_TRUE(pruebas::esperarHasta(
            [&] { return (s = pruebas::leer(salidaDelMotor(g))).endsWith("Error: nuevo\n"); }));
        const qsizetype marca = s.indexOf("--- VARNO abre el motor: ");
        EXPECT_EQ(s.left(marca), quedan < 0 ? antes : linea.repeated(quedan)) << antes.size();
        EXPECT_TRUE(s.mid(marca).contains("\ncon -I -m motor\n"));
    }
}

} // namespace
