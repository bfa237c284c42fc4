// How an installer run ends when something goes wrong: killed mid-run, failing
// with a download left running, a log that cannot be written, or cancelled.
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
#include <csignal>
#include <gtest/gtest.h>
#include <list>

namespace {

// The pids the script wrote to @/pids: its own and its download's.
QList<QByteArray> pids(const fallos::Banco& b) {
    const QList<QByteArray> l = pruebas::leer(b.home() + "/pids").trimmed().split(' ');
    return l.size() == 2 ? l : QList<QByteArray>();
}

// The failure screen shows the last line, nothing the script started keeps
// running, and a retry starts clean; after success nothing is touched.
TEST(FinDelInstalador, FallaAMitadYSeReintentaDeCero) {
    enum Montura { ninguna, soloLectura, discoLleno, cerrada }; // of the data folder
    const struct {
        const char* nombre;
        int senal; // sent to the script, or with a minus to its process group
        const char* fin = "wait";
        Montura montura = ninguna;
    } casos[] = {
        {"SIGKILL", SIGKILL},
        {"SIGTERM", SIGTERM},
        {"SIGSEGV", SIGSEGV},
        {"SIGKILL al grupo", -SIGKILL},
        {"SIGHUP al grupo", -SIGHUP},
        {"sale con 1", 0, "exit 1"},
        {"sale con 0", 0, "exit 0"},
        {"carpeta de solo lectura", 0, "exit 1", soloLectura},
        {"disco lleno", 0, "exit 1", discoLleno},
        {"carpeta cerrada con el registro abierto", 0, "exit 0", cerrada},
    };
    const QByteArray salida = "== 3/7 Descargas\n" + QByteArray(300'000, 'x') + "\ndescargando\n";
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        fallos::Banco b(QByteArray("echo '== 3/7 Descargas'\nhead -c 300000 /dev/zero | tr '\\0' x"
                                   "\necho\necho descargando\nsleep 60 &\necho $$ $! > @/pids\n") +
                        c.fin);
        const QString datos = b.d->g.DATOS;
        for (const QString& r : {b.d->g.REGISTRO, b.home() + "/registro"})
            pruebas::escribir(r, "VARNO 1.0: instalación 2020-01-01 00:00:00 +0000\nvieja\n");
        std::list<fallos::Montaje> m;
        if (c.montura == soloLectura || c.montura == discoLleno)
            m.emplace_back(datos, QString(), c.montura == soloLectura ? MS_RDONLY : 0, "size=128k");
        if (c.montura == cerrada) {
            m.emplace_back(datos, datos, MS_RDONLY);
            m.emplace_back(b.d->g.REGISTRO, b.home() + "/registro", 0);
        }
        for (const auto& x : m)
            MONTAR_O_SALTAR(x);
        b.d->alBoton();
        ASSERT_TRUE(pruebas::esperarHasta([&] { return !pids(b).isEmpty(); }));
        const pid_t guion = pids(b)[0].toInt(), descarga = pids(b)[1].toInt();
        if (c.senal)
            ASSERT_EQ(::kill(c.senal > 0 ? guion : -guion, std::abs(c.senal)), 0);
        ASSERT_TRUE(b.esperarFin());
        EXPECT_FALSE(b.d->proceso);
        EXPECT_EQ(b.d->paso, 3);
        // The log holds this run only, or as much of its start as fits.
        const qsizetype cabe = c.montura == soloLectura  ? 0
                               : c.montura == discoLleno ? 128 << 10
                                                         : 1 << 30;
        EXPECT_EQ(b.salida(), salida.left(qMin(b.salida().size(), cabe)));
        EXPECT_EQ(b.registro().startsWith("VARNO 2.0: instalación "), cabe > 0);
        EXPECT_GE(b.registro().size(), qMin(cabe / 2, salida.size()));
        const bool bien = b.d->listo;
        EXPECT_EQ(bien, c.fin == QByteArray("exit 0"));
        if (!bien) {
            EXPECT_TRUE(b.d->detalle->texto().startsWith("descargando  —  Puedes reintentar"));
            // Nothing is left that could write into the data folder beside the retry.
            EXPECT_TRUE(pruebas::esperarHasta([&] { return !sigueVivo(descarga); }));
            b.cambiarGuion("echo '== 7/7 Listo'\necho reintento\nexit 0\n");
            ASSERT_TRUE(b.correr());
            EXPECT_TRUE(b.d->listo);
            EXPECT_EQ(b.salida(), cabe ? "== 7/7 Listo\nreintento\n" : "");
        }
        EXPECT_EQ(sigueVivo(descarga), bien);
        ::kill(descarga, SIGKILL);
    }
}

// Closing the window while the installer runs and confirming the cancel: the
// window goes at once; then the script's group has the grace time to end by
// itself, its output still logged, before whatever is left is killed. A delegate
// that goes away without a cancel stops the run the same way.
TEST(FinDelInstalador, CancelarDejaQueElGuionLimpieDentroDelPlazo) {
    const QByteArray espera = "sleep 600 &\necho $$ $! > @/pids\nwait\n";
    const QByteArray atrapa = "trap 'sleep 1; echo ultima; exit 143' TERM\n" + espera;
    const struct {
        QByteArray guion; // empty: the bundled installer, cancelled in its step 6
        bool cerrar;      // closed and the cancel confirmed
        const char* fin;  // how the log ends
    } casos[] = {
        {atrapa, true, "ultima\n"},
        {atrapa, false, "ultima\n"},
        {"trap '' TERM\necho sigo\n" + espera, true, "sigo\n"},
        {{}, true, "Instalación interrumpida.\n"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.fin);
        fallos::Banco b(c.guion);
        const Globales g = b.d->g;
        const auto temporales = [&] {
            return QDir(g.DATOS).entryList({".tmp.*"}, QDir::AllEntries | QDir::Hidden);
        };
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        if (c.guion.isEmpty()) {
            // From a mirror of its own, with tar slowed down so that the cancel
            // lands while the script's temporary folder is there.
            ASSERT_EQ(QProcess::execute("/bin/bash",
                                        {VARNO_FUENTES "/scripts/espejo.sh", b.home() + "/espejo"}),
                      0);
            ASSERT_EQ(QProcess::execute("/bin/cp",
                                        {"-a", pruebas::bundle() + "/Contents/Resources/paquete/.",
                                         g.RECURSOS + "/paquete"}),
                      0);
            pruebas::escribir(b.home() + "/lento.sh", "tar() { sleep 600; command tar \"$@\"; }\n");
            qputenv("VARNO_ESPEJO", (b.home() + "/espejo").toUtf8());
            qputenv("BASH_ENV", (b.home() + "/lento.sh").toUtf8());
        }
        qputenv("HOME", b.home().toUtf8());
        b.d->ventana->show();
        b.d->alBoton();
        for (const char* v : {"HOME", "VARNO_ESPEJO", "BASH_ENV"})
            e.contains(v) ? qputenv(v, e.value(v).toUtf8()) : qunsetenv(v);
        ASSERT_TRUE(
            pruebas::esperarHasta([&] { return !pids(b).isEmpty() || !temporales().isEmpty(); },
                                  std::chrono::minutes(2)));
        const QList<QByteArray> vivos = pids(b);
        QTimer reloj; // confirms the question the close asks
        QObject::connect(&reloj, &QTimer::timeout, [] {
            if (auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                caja->defaultButton()->click();
        });
        reloj.start(10);
        if (c.cerrar)
            EXPECT_TRUE(b.d->ventana->close());
        b.d.reset();
        EXPECT_TRUE(pruebas::leer(g.REGISTRO).endsWith(c.fin))
            << pruebas::leer(g.REGISTRO).right(300).toStdString();
        EXPECT_EQ(temporales(), QStringList());
        for (const QByteArray& pid : vivos)
            EXPECT_FALSE(sigueVivo(pid.toLongLong())) << pid.toStdString();
    }
}

} // namespace
