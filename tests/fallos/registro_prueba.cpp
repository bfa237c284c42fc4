// The log cannot be written: the run goes on and the window shows the output.
#include "banco.h"
#include "installer/instalacion.h"
#include "montaje.h"
#include "ui/vistas.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

using fallos::Montaje;

const QByteArray guion = "echo '== 2/7 Descargas'\n"
                         "head -c 600000 /dev/zero | tr '\\0' x\n"
                         "echo\necho 'la última línea'\nexit 1\n";

void revisarVentana(const fallos::Banco& b) {
    EXPECT_FALSE(b.d->listo);
    EXPECT_EQ(b.d->paso, 2);
    EXPECT_EQ(b.d->estado->texto(), "No se pudo terminar la instalación.");
    EXPECT_TRUE(b.d->detalle->texto().startsWith("la última línea  —  "))
        << b.d->detalle->texto().toStdString();
}

TEST(RegistroImposible, CarpetaDeDatosDeSoloLectura) {
    fallos::Banco b(guion);
    ASSERT_TRUE(QDir().mkpath(b.d->g.DATOS));
    Montaje m(b.d->g.DATOS, "tmpfs", "tmpfs", MS_RDONLY | MS_NOSUID | MS_NODEV, "size=64k");
    MONTAR_O_SALTAR(m);
    ASSERT_TRUE(b.correr());
    revisarVentana(b);
    EXPECT_FALSE(QFileInfo::exists(b.d->g.REGISTRO));
}

TEST(RegistroImposible, DiscoLleno) {
    fallos::Banco b(guion);
    ASSERT_TRUE(QDir().mkpath(b.d->g.DATOS));
    Montaje m(b.d->g.DATOS, "tmpfs", "tmpfs", MS_NOSUID | MS_NODEV, "size=128k");
    MONTAR_O_SALTAR(m);
    ASSERT_TRUE(b.correr());
    revisarVentana(b);
    // What fit is the run's start, unchanged.
    const QByteArray registro = b.registro();
    EXPECT_TRUE(registro.startsWith("VARNO 2.0: instalación "));
    EXPECT_GT(registro.size(), 64 * 1024);
    EXPECT_LE(registro.size(), 128 * 1024);
    EXPECT_TRUE(b.salida().startsWith("== 2/7 Descargas\nxxxx"));
    EXPECT_EQ(b.salida().count('x'),
              b.salida().size() - qsizetype(sizeof("== 2/7 Descargas\n") - 1));
}

// A folder that takes no new files but holds a log that can still be
// written: the log is replaced in place, so it never mixes two runs.
TEST(RegistroImposible, CarpetaCerradaConElRegistroAbierto) {
    fallos::Banco b("echo '== 1/7 Nueva'\necho nueva\nexit 0\n");
    const QString vieja = "VARNO 1.0: instalación 2020-01-01 00:00:00 +0000\nvieja salida\n";
    pruebas::escribir(b.d->g.REGISTRO, vieja.toUtf8());
    const QString aparte = b.home() + "/registro-escribible";
    pruebas::escribir(aparte, vieja.toUtf8());
    const Montaje carpeta = Montaje::soloLectura(b.d->g.DATOS);
    MONTAR_O_SALTAR(carpeta);
    Montaje registro(b.d->g.REGISTRO, aparte.toLocal8Bit().constData(), nullptr, MS_BIND);
    MONTAR_O_SALTAR(registro);

    ASSERT_TRUE(b.correr());
    EXPECT_TRUE(b.d->listo);
    EXPECT_TRUE(b.registro().startsWith("VARNO 2.0: instalación ")) << b.registro().toStdString();
    EXPECT_EQ(b.salida(), "== 1/7 Nueva\nnueva\n");
}

} // namespace
