// The installer killed mid-run, alone or with everything it started: the run
// ends on the failure screen, nothing of it keeps running, and a retry starts
// clean.
#include "banco.h"
#include "engine/motor.h"
#include "installer/instalacion.h"
#include "ui/vistas.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

TEST(Muerte, ElInstaladorMuertoAMitadDejaReintentarDeCero) {
    struct Caso {
        const char* nombre;
        int senal;
        bool grupo; // the whole process group, not just the script
    };
    const Caso casos[] = {
        {"SIGKILL al guion", SIGKILL, false},     {"SIGTERM al guion", SIGTERM, false},
        {"SIGSEGV al guion", SIGSEGV, false},     {"SIGKILL a todo su grupo", SIGKILL, true},
        {"SIGHUP a todo su grupo", SIGHUP, true},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        fallos::Banco b("");
        const QString guion = b.home() + QStringLiteral("/guion.pid");
        const QString hijo = b.home() + QStringLiteral("/hijo.pid");
        // A download in the background, as the real script's are.
        b.cambiarGuion("echo $$ > " + fallos::comillas(guion) + "\nsleep 60 &\necho $! > " +
                       fallos::comillas(hijo) +
                       "\necho '== 3/7 Descargas'\necho descargando\nwait\n");
        b.d->alBoton();
        ASSERT_TRUE(pruebas::esperarHasta([&] { return b.d->detalle->texto() == "descargando"; }));
        const pid_t pid = pruebas::leer(guion).trimmed().toInt();
        const pid_t descarga = pruebas::leer(hijo).trimmed().toInt();
        ASSERT_GT(pid, 0);
        ASSERT_GT(descarga, 0);
        ASSERT_EQ(::kill(c.grupo ? -pid : pid, c.senal), 0);

        ASSERT_TRUE(b.esperarFin());
        EXPECT_FALSE(b.d->listo);
        EXPECT_FALSE(b.d->proceso);
        EXPECT_EQ(b.d->estado->texto(), "No se pudo terminar la instalación.");
        EXPECT_TRUE(b.d->detalle->texto().startsWith("descargando  —  Puedes reintentar"));
        EXPECT_FALSE(b.d->registroBoton->isHidden());
        EXPECT_EQ(b.d->boton->titulo(), "Reintentar");
        EXPECT_EQ(b.salida(), "== 3/7 Descargas\ndescargando\n");
        // A failed run leaves nothing behind that could write into the data
        // folder while the retry runs.
        EXPECT_TRUE(pruebas::esperarHasta([&] { return !sigueVivo(descarga); }))
            << "the download the script started outlived the run";

        b.cambiarGuion("echo '== 7/7 Listo'\necho reintento\nexit 0\n");
        ASSERT_TRUE(b.correr());
        EXPECT_TRUE(b.d->listo);
        EXPECT_TRUE(b.registro().startsWith("VARNO 2.0: instalación "));
        EXPECT_EQ(b.salida(), "== 7/7 Listo\nreintento\n");
        ::kill(descarga, SIGKILL);
    }
}

// A script that exits on its own but leaves a download running: when the
// run failed, the leftover is stopped too; after success nothing is touched.
TEST(Muerte, LoQueElGuionDejaCorriendoSeParaSoloSiFallo) {
    for (const int codigo : {1, 0}) {
        SCOPED_TRACE(codigo);
        fallos::Banco b("");
        const QString hijo = b.home() + QStringLiteral("/hijo.pid");
        b.cambiarGuion("sleep 60 > /dev/null 2>&1 &\necho $! > " + fallos::comillas(hijo) +
                       "\nexit " + QByteArray::number(codigo) + "\n");
        ASSERT_TRUE(b.correr());
        const pid_t descarga = pruebas::leer(hijo).trimmed().toInt();
        ASSERT_GT(descarga, 0);
        if (codigo != 0)
            EXPECT_TRUE(pruebas::esperarHasta([&] { return !sigueVivo(descarga); }));
        else
            EXPECT_TRUE(sigueVivo(descarga));
        ::kill(descarga, SIGKILL);
    }
}

} // namespace
