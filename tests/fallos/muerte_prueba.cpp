// The installer ends mid-run, killed alone or with everything it started, or
// failing on its own: the run ends on the failure screen, nothing it started
// keeps running, and a retry starts clean. After success nothing is touched.
#include "banco.h"
#include "engine/motor.h"
#include "installer/instalacion.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
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

// Closing the window while the installer runs and confirming the cancel: the
// window goes at once, and once the delegate goes the script's group has the
// grace time to end by itself, its output still logged; whatever is left then
// is killed. A delegate that goes away without a cancel stops the run the same way.
TEST(Muerte, CancelarDejaQueElGuionLimpieDentroDelPlazo) {
    struct Caso {
        const char* nombre;
        QByteArray guion; // empty: the bundled installer, cancelled in its step 6
        bool cerrar;      // closed and the cancel confirmed
        const char* fin;  // how the log ends
    };
    const QByteArray espera = "sleep 600 &\necho $$ $! > @/pids\nwait\n";
    const Caso casos[] = {
        {"atrapa TERM, tarda 1 s y escribe",
         "trap 'sleep 1; echo ultima; exit 143' TERM\n" + espera, true, "ultima\n"},
        {"el delegado se va sin cancelar", "trap 'sleep 1; echo ultima; exit 143' TERM\n" + espera,
         false, "ultima\n"},
        {"ignora TERM", "trap '' TERM\necho sigo\n" + espera, true, "sigo\n"},
        {"el instalador del paquete", {}, true, "Instalación interrumpida.\n"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        fallos::Banco b(c.guion);
        const Globales g = b.d->g;
        const auto temporales = [&] {
            return QDir(g.DATOS).entryList({".tmp.*"}, QDir::AllEntries | QDir::Hidden);
        };
        if (c.guion.isEmpty()) {
            // Taken from a mirror of its own; tar is slowed down so that the
            // cancel lands while the script's temporary folder is there.
            const QString espejo = b.home() + "/espejo", lento = b.home() + "/lento.sh";
            ASSERT_EQ(QProcess::execute("/bin/bash", {VARNO_FUENTES "/scripts/espejo.sh", espejo}),
                      0);
            ASSERT_EQ(QProcess::execute("/bin/cp",
                                        {"-a", pruebas::bundle() + "/Contents/Resources/paquete/.",
                                         g.RECURSOS + "/paquete"}),
                      0);
            pruebas::escribir(lento, "tar() { sleep 600; command tar \"$@\"; }\n");
            qputenv("VARNO_ESPEJO", espejo.toUtf8());
            qputenv("BASH_ENV", lento.toUtf8());
        }
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", b.home().toUtf8());
        b.d->ventana->show();
        b.d->alBoton();
        qputenv("HOME", home);
        qunsetenv("VARNO_ESPEJO");
        qunsetenv("BASH_ENV");
        QList<QByteArray> pids;
        ASSERT_TRUE(pruebas::esperarHasta(
            [&] {
                pids = pruebas::leer(b.home() + "/pids").trimmed().split(' ');
                return pids.size() == 2 || !temporales().isEmpty();
            },
            std::chrono::minutes(2)))
            << pruebas::leer(g.REGISTRO).toStdString();
        if (c.cerrar) {
            QTimer reloj;
            QObject::connect(&reloj, &QTimer::timeout, [] {
                if (auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    caja->defaultButton()->click();
            });
            reloj.start(10);
            EXPECT_TRUE(b.d->ventana->close());
        }
        b.d.reset();
        EXPECT_TRUE(pruebas::leer(g.REGISTRO).endsWith(c.fin))
            << pruebas::leer(g.REGISTRO).right(300).toStdString();
        EXPECT_EQ(temporales(), QStringList());
        for (const QByteArray& pid : pids)
            EXPECT_FALSE(sigueVivo(pid.toLongLong())) << pid.toStdString();
    }
}

} // namespace
