// The installer ends mid-run, killed alone or with everything it started, or
// failing on its own: the run ends on the failure screen, nothing it started
// keeps running, and a retry starts clean. After success nothing is touched.
#include "banco.h"
#include "engine/motor.h"
#include "installer/instalacion.h"
#include "ui/vistas.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string_view>

namespace {

TEST(Muerte, ElInstaladorMuertoAMitadDejaReintentarDeCero) {
    struct Caso {
        const char* nombre;
        int senal;          // sent to the script; none when it exits by itself
        bool grupo = false; // the whole process group, not just the script
        const char* fin = "wait";
    };
    const Caso casos[] = {
        {"SIGKILL al guion", SIGKILL},
        {"SIGTERM al guion", SIGTERM},
        {"SIGSEGV al guion", SIGSEGV},
        {"SIGKILL a todo su grupo", SIGKILL, true},
        {"SIGHUP a todo su grupo", SIGHUP, true},
        {"sale con 1 y deja la descarga", 0, false, "exit 1"},
        {"sale con 0 y deja la descarga", 0, false, "exit 0"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        // A download in the background, as the real script's are.
        fallos::Banco b(QByteArray("echo '== 3/7 Descargas'\necho descargando\nsleep 60 &\n"
                                   "echo $$ $! > @/pids\n") +
                        c.fin + "\n");
        b.d->alBoton();
        QList<QByteArray> pids;
        ASSERT_TRUE(pruebas::esperarHasta([&] {
            pids = pruebas::leer(b.home() + "/pids").trimmed().split(' ');
            return pids.size() == 2;
        }));
        const pid_t descarga = pids[1].toInt();
        if (c.senal)
            ASSERT_EQ(::kill(c.grupo ? -pids[0].toInt() : pids[0].toInt(), c.senal), 0);
        ASSERT_TRUE(b.esperarFin());
        EXPECT_FALSE(b.d->proceso);
        EXPECT_EQ(b.salida(), "== 3/7 Descargas\ndescargando\n");
        EXPECT_EQ(b.d->listo, c.fin == std::string_view("exit 0"));
        if (b.d->listo) {
            EXPECT_TRUE(sigueVivo(descarga));
            ::kill(descarga, SIGKILL);
            continue;
        }
        EXPECT_EQ(b.d->estado->texto(), "No se pudo terminar la instalación.");
        EXPECT_TRUE(b.d->detalle->texto().startsWith("descargando  —  Puedes reintentar"));
        // Nothing is left that could write into the data folder beside the retry.
        EXPECT_TRUE(pruebas::esperarHasta([&] { return !sigueVivo(descarga); }));

        b.cambiarGuion("echo '== 7/7 Listo'\necho reintento\nexit 0\n");
        ASSERT_TRUE(b.correr());
        EXPECT_TRUE(b.d->listo);
        EXPECT_EQ(b.salida(), "== 7/7 Listo\nreintento\n");
        ::kill(descarga, SIGKILL);
    }
}

} // namespace
