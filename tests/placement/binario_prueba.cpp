// One running VARNO per data folder, through the built program.
#include "comun/comun.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using pruebas::esperarHasta;
using pruebas::leer;

namespace {

// A second start beside a real first VARNO, from a copy of the bundle whose
// installer is the scriptable test one. A first with a window is brought to the
// front and the second exits 0 at once, not after the ten seconds it waits for
// a first without a window; a first that only hands over to the engine does not
// stop a second from doing the same. A second with a data folder of its own runs
// itself, and without a display says so in one line instead of the toolkit aborting.
TEST(ColocacionBinario, UnaSolaInstanciaPorCarpetaDeDatos) {
    const struct {
        bool relevo;            // the first hands over to an engine that answers
        QStringList argumentos; // of the second start
        const char* home;       // of the second, below the first's
        int salida;             // of the second
    } casos[] = {
        {false, {}, "", 0},
        {true, {}, "", 0},
        {false, {"--icono", "icono.png"}, "", 0}, // a packaging run never waits
        {false, {}, "/otra", 1},
    };
    QTemporaryDir copia;
    const QString app = copia.path() + "/VARNO.app", programa = app + "/Contents/MacOS/VARNO";
    ASSERT_EQ(QProcess::execute("/bin/cp", {"-a", pruebas::bundle(), app}), 0);
    pruebas::escribir(app + "/Contents/Resources/paquete/instalar_mac.sh",
                      leer(pruebas::datos("instalador_eco.sh")), true);
    const QByteArray version = leer(app + "/Contents/Resources/version.txt");
    for (const auto& c : casos) {
        SCOPED_TRACE(c.argumentos.join(' ').toStdString() + c.home);
        QTemporaryDir t;
        const QString datos = t.path() + "/Library/Application Support/VARNO";
        // This version installed, or an older one to update; an engine that notes its pid.
        pruebas::escribir(datos + "/instalado.txt", c.relevo ? version : "0.1\n");
        pruebas::escribir(datos + "/python/bin/python", "#!/bin/sh\necho $$ >> \"$HOME/motor\"\n",
                          true);
        QDir().mkpath(datos + "/app");
        QProcess motor; // answers as the engine, for the hand-off
        if (c.relevo) {
            motor.start("/usr/bin/python3", {pruebas::datos("servidor.py"), "8770"});
            ASSERT_TRUE(motor.waitForReadyRead(10'000));
        }
        // Without a display unless offscreen: the second would show its own window.
        const auto entorno = [&](const QString& home, bool offscreen) {
            QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
            for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                e.remove(v);
            e.insert("HOME", home);
            e.insert("XDG_DATA_HOME", home + "/.local/share");
            e.insert("GUION", "out:==_3/7_X kid nap:60");
            e.insert("HUELLA", home + "/hijo");
            if (offscreen)
                e.insert("QT_QPA_PLATFORM", "offscreen");
            return e;
        };
        QProcess primera, otra;
        primera.setProcessEnvironment(entorno(t.path(), true));
        primera.start(programa, {"--no-mover"});
        const auto parar = qScopeGuard([&] {
            QList<QByteArray> pids = leer(t.path() + "/motor").split('\n');
            if (const pid_t hijo = leer(t.path() + "/hijo").toInt(); hijo > 0)
                pids.append(QByteArray::number(-::getpgid(hijo))); // the installer's whole group
            for (const QByteArray& pid : pids)
                if (pid.toInt() < -1 || pid.toInt() > 1)
                    ::kill(pid.toInt(), SIGKILL);
            primera.kill();
            primera.waitForFinished();
            motor.kill();
            motor.waitForFinished();
        });
        // The first is installing before the second starts.
        ASSERT_TRUE(esperarHasta(
            [&] { return c.relevo || leer(datos + "/instalacion.log").contains("== 3/7"); },
            std::chrono::seconds(60)));

        otra.setProcessEnvironment(entorno(t.path() + c.home, false));
        otra.setWorkingDirectory(t.path());
        otra.start(programa, c.argumentos + QStringList{"--no-mover"});
        ASSERT_TRUE(esperarHasta([&] { return otra.state() == QProcess::NotRunning; },
                                 std::chrono::seconds(c.relevo ? 60 : 8)));
        const QString error = QString::fromUtf8(otra.readAllStandardError()).trimmed();
        EXPECT_EQ(std::pair(otra.exitStatus(), otra.exitCode()),
                  std::pair(QProcess::NormalExit, c.salida))
            << error.toStdString();
        if (c.salida)
            EXPECT_TRUE(error.startsWith("VARNO necesita una pantalla") && !error.contains('\n'))
                << error.toStdString();
        if (!c.relevo) {
            EXPECT_EQ(primera.state(), QProcess::Running);
            continue;
        }
        EXPECT_TRUE(esperarHasta([&] { return primera.state() == QProcess::NotRunning; },
                                 std::chrono::seconds(60)));
        EXPECT_EQ(primera.exitCode(), 0);
        EXPECT_EQ(leer(t.path() + "/motor").count('\n'), 2) << "each handed over";
    }
}

} // namespace
