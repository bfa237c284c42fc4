// One running VARNO per data folder, through the built program.
#include "comun/comun.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using pruebas::esperarHasta;
using pruebas::leer;

namespace {

// A second start beside a first VARNO that is installing, from a bundle whose installer
// is the scriptable test one: the first comes to the front and the second exits 0 at
// once, not after the ten seconds it waits for a first without a window. A second with
// its own data folder runs itself, and without a display says so in one line.
TEST(ColocacionBinario, UnaSolaInstanciaPorCarpetaDeDatos) {
    const struct {
        QStringList argumentos; // of the second start
        const char* home;       // of the second, below the first's
        int salida;             // of the second
    } casos[] = {
        {{}, "", 0},
        {{"--icono", "icono.png"}, "", 0}, // a packaging run never waits
        {{}, "/otra", 1},
    };
    QTemporaryDir copia;
    const QString app = copia.path() + "/VARNO.app", programa = app + "/Contents/MacOS/VARNO";
    ASSERT_EQ(QProcess::execute("/bin/cp", {"-a", pruebas::bundle(), app}), 0);
    pruebas::escribir(app + "/Contents/Resources/paquete/instalar_mac.sh",
                      leer(pruebas::datos("instalador_eco.sh")), true);
    for (const auto& c : casos) {
        SCOPED_TRACE(c.argumentos.join(' ').toStdString() + c.home);
        QTemporaryDir t;
        const QString datos = t.path() + "/Library/Application Support/VARNO";
        // An older version to update.
        pruebas::escribir(datos + "/instalado.txt", "0.1\n");
        pruebas::escribir(datos + "/python/bin/python", "#!/bin/sh\n", true);
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
            if (const pid_t hijo = leer(t.path() + "/hijo").toInt(); hijo > 1)
                ::kill(-::getpgid(hijo), SIGKILL); // the installer's whole group
            primera.kill();
            primera.waitForFinished();
        });
        ASSERT_TRUE(
            esperarHasta([&] { return leer(datos + "/instalacion.log").contains("== 3/7"); },
                         std::chrono::seconds(60)));

        otra.setProcessEnvironment(entorno(t.path() + c.home, false));
        otra.setWorkingDirectory(t.path());
        otra.start(programa, c.argumentos + QStringList{"--no-mover"});
        ASSERT_TRUE(esperarHasta([&] { return otra.state() == QProcess::NotRunning; },
                                 std::chrono::seconds(8)));
        const QString error = QString::fromUtf8(otra.readAllStandardError()).trimmed();
        EXPECT_EQ(std::pair(otra.exitStatus(), otra.exitCode()),
                  std::pair(QProcess::NormalExit, c.salida))
            << error.toStdString();
        if (c.salida)
            EXPECT_TRUE(error.startsWith("VARNO necesita una pantalla") && !error.contains('\n'))
                << error.toStdString();
        EXPECT_EQ(primera.state(), QProcess::Running);
    }
}

} // namespace
