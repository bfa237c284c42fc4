// The log cannot be written: the run goes on and the window shows the output.
#include "banco.h"
#include "montaje.h"
#include "ui/vistas.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

using fallos::Montaje;

TEST(RegistroImposible, LaCorridaSigueYLaVentanaMuestraLaSalida) {
    struct Caso {
        const char* nombre;
        unsigned long banderas;
        qsizetype cabe; // what of the log fits in the data folder
    };
    const Caso casos[] = {
        {"carpeta de datos de solo lectura", MS_RDONLY, 0},
        {"disco lleno", 0, 128 * 1024},
    };
    const QByteArray salida = "== 2/7 Descargas\n" + QByteArray(600'000, 'x');
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        fallos::Banco b("echo '== 2/7 Descargas'\nhead -c 600000 /dev/zero | tr '\\0' x\n"
                        "echo\necho 'la última línea'\nexit 1\n");
        ASSERT_TRUE(QDir().mkpath(b.d->g.DATOS));
        const Montaje m(b.d->g.DATOS, "tmpfs", "tmpfs", c.banderas | MS_NOSUID | MS_NODEV,
                        "size=128k");
        MONTAR_O_SALTAR(m);
        ASSERT_TRUE(b.correr());
        EXPECT_FALSE(b.d->listo);
        EXPECT_EQ(b.d->paso, 2);
        EXPECT_TRUE(b.d->detalle->texto().startsWith("la última línea  —  "))
            << b.d->detalle->texto().toStdString();
        // What fit is the run's start, unchanged.
        const QByteArray registro = b.registro();
        EXPECT_LE(registro.size(), c.cabe);
        EXPECT_GE(registro.size(), c.cabe / 2);
        if (c.cabe)
            EXPECT_TRUE(registro.startsWith("VARNO 2.0: instalación "));
        EXPECT_EQ(b.salida(), salida.left(b.salida().size()));
    }
}

// A folder that takes no new files but holds a log that can still be
// written: the log is replaced in place, so it never mixes two runs.
TEST(RegistroImposible, CarpetaCerradaConElRegistroAbierto) {
    fallos::Banco b("echo '== 1/7 Nueva'\necho nueva\nexit 0\n");
    const QByteArray vieja = "VARNO 1.0: instalación 2020-01-01 00:00:00 +0000\nvieja salida\n";
    pruebas::escribir(b.d->g.REGISTRO, vieja);
    pruebas::escribir(b.home() + "/registro", vieja);
    const Montaje carpeta = Montaje::soloLectura(b.d->g.DATOS);
    MONTAR_O_SALTAR(carpeta);
    const Montaje registro(b.d->g.REGISTRO, QFile::encodeName(b.home() + "/registro").constData(),
                           nullptr, MS_BIND);
    MONTAR_O_SALTAR(registro);
    ASSERT_TRUE(b.correr());
    EXPECT_TRUE(b.d->listo);
    EXPECT_EQ(b.salida(), "== 1/7 Nueva\nnueva\n");
}

} // namespace
