// How an installer run ends when something goes wrong: killed mid-run, failing
// with a download left running, a log that cannot be written, or cancelled.
// The failure screen shows the last line, nothing the script started keeps
// running, and a retry starts clean.
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
#include <list>

namespace {

using fallos::Montaje;

// The pids the script wrote to @/pids: its own and its download's.
QList<QByteArray> pids(const fallos::Banco& b) {
    const QList<QByteArray> l = pruebas::leer(b.home() + "/pids").trimmed().split(' ');
    return l.size() == 2 ? l : QList<QByteArray>();
}

TEST(FinDelInstalador, FallaAMitadYSeReintentaDeCero) {
    enum Montura { ninguna, soloLectura, discoLleno, cerrada };
    struct Caso {
        const char* nombre;
        int senal;          // sent to the script; none when it ends by itself
        bool grupo = false; // to its whole process group
        const char* fin = "wait";
        Montura montura = ninguna; // of the data folder
    };
    const Caso casos[] = {
        {"SIGKILL al guion", SIGKILL},
        {"SIGTERM al guion", SIGTERM},
        {"SIGSEGV al guion", SIGSEGV},
        {"SIGKILL a todo su grupo", SIGKILL, true},
        {"SIGHUP a todo su grupo", SIGHUP, true},
        {"sale con 1", 0, false, "exit 1"},
        {"sale con 0: la descarga sigue", 0, false, "exit 0"},
        {"carpeta de datos de solo lectura", 0, false, "exit 1", soloLectura},
        {"disco lleno", 0, false, "exit 1", discoLleno},
        {"carpeta cerrada con el registro abierto", 0, false, "exit 0", cerrada},
    };
    const QByteArray salida = "== 3/7 Descargas\n" + QByteArray(300'000, 'x') + "\ndescargando\n";
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        // A download in the background, as the real script's are.
        fallos::Banco b(QByteArray("echo '== 3/7 Descargas'\nhead -c 300000 /dev/zero | tr '\\0' x"
                                   "\necho\necho descargando\nsleep 60 &\necho $$ $! > @/pids\n") +
                        c.fin + "\n");
        const QString datos = b.d->g.DATOS;
        const QByteArray vieja = "VARNO 1.0: instalación 2020-01-01 00:00:00 +0000\nvieja\n";
        pruebas::escribir(b.d->g.REGISTRO, vieja);
        pruebas::escribir(b.home() + "/registro", vieja);
        std::list<Montaje> m;
        if (c.montura == soloLectura || c.montura == discoLleno)
            m.emplace_back(datos, QString(), MS_NOSUID | MS_NODEV | (c.montura == soloLectura ? MS_RDONLY : 0), "size=128k");
        if (c.montura == cerrada) {
            m.emplace_back(datos, datos, MS_RDONLY);
            m.emplace_back(b.d->g.REGISTRO, b.home() + "/registro", 0);
        }
        for (const Montaje& x : m)
            MONTAR_O_SALTAR(x);
        b.d->alBoton();
        ASSERT_TRUE(pruebas::esperarHasta([&] { return !pids(b).isEmpty(); }));
        const pid_t guion = pids(b)[0].toInt(), descarga = pids(b)[1].toInt();
        if (c.senal)
            ASSERT_EQ(::kill(c.grupo ? -guion : guion, c.senal), 0);
        ASSERT_TRUE(b.esperarFin());
        EXPECT_FALSE(b.d->proceso);
        EXPECT_EQ(b.d->paso, 3);
        // The log holds this run only, or as much of its start as fits.
        const qsizetype cabe = c.montura == soloLectura ? 0
                               : c.montura == discoLleno ? 128 * 1024
                                                         : 1 << 30;
        EXPECT_EQ(b.salida(), salida.left(qMin(b.salida().size(), cabe)));
        EXPECT_EQ(b.registro().startsWith("VARNO 2.0: instalación "), cabe > 0);
        EXPECT_GE(b.registro().size(), qMin(cabe / 2, salida.size()));
        EXPECT_EQ(b.d->listo, c.fin == QByteArray("exit 0"));
        if (b.d->listo) {
            EXPECT_TRUE(sigueVivo(descarga)) << "after success nothing is touched";
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
        EXPECT_EQ(b.salida(), cabe ? "== 7/7 Listo\nreintento\n" : "");
        ::kill(descarga, SIGKILL);
    }
}

// Closing the window while the installer runs and confirming the cancel: the
// window goes at once, and once the delegate goes the script's group has the
// grace time to end by itself, its output still logged; whatever is left then
// is killed. A delegate that goes away without a cancel stops the run the same way.
TEST(FinDelInstalador, CancelarDejaQueElGuionLimpieDentroDelPlazo) {
    struct Caso {
        const char* nombre;
        QByteArray guion; // empty: the bundled installer, cancelled in its step 6
        bool cerrar;      // closed and the cancel confirmed
        const char* fin;  // how the log ends
    };
    const QByteArray espera = "sleep 600 &\necho $$ $! > @/pids\nwait\n";
    const QByteArray atrapa = "trap 'sleep 1; echo ultima; exit 143' TERM\n" + espera;
    const Caso casos[] = {
        {"atrapa TERM, tarda 1 s y escribe", atrapa, true, "ultima\n"},
        {"el delegado se va sin cancelar", atrapa, false, "ultima\n"},
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
            // From a mirror of its own, with tar slowed down so that the cancel
            // lands while the script's temporary folder is there.
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
        ASSERT_TRUE(pruebas::esperarHasta([&] { return !pids(b).isEmpty() || !temporales().isEmpty(); },
                                          std::chrono::minutes(2)))
            << b.registro().toStdString();
        const QList<QByteArray> vivos = pids(b);
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
        for (const QByteArray& pid : vivos)
            EXPECT_FALSE(sigueVivo(pid.toLongLong())) << pid.toStdString();
    }
}

} // namespace
