// One running VARNO per data folder, through the built program.
#include "comun/comun.h"
#include "comun/servidor.h"
#include "engine/motor.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef Q_OS_LINUX
#include <csignal>
#include <optional>
#include <unistd.h>

using pruebas::esperarHasta;
using pruebas::leer;

namespace {

// A second start beside a real first VARNO, from a copy of the bundle whose
// installer is the scriptable test one. A first with a window (installing,
// opening, failed) is brought to the front and the second exits 0 at once, not
// after the ten seconds it waits for a first without a window; a first that
// only hands over to the engine does not stop a second from doing the same.
TEST(ColocacionBinario, UnaSolaInstanciaPorCarpetaDeDatos) {
    enum Primera { instalando, abriendo, fallo, relevo };
    struct Caso {
        const char* nombre;
        Primera primera;
        QStringList argumentos; // of the second start
        bool mismosDatos;
        int salida; // of the second: 1 when it ran itself and found no display
    };
    // clang-format off
    const Caso casos[] = {
        {"durante una instalación", instalando, {"--no-mover"}, true, 0},
        {"durante una apertura", abriendo, {"--no-mover"}, true, 0},
        {"en la pantalla de fallo", fallo, {"--no-mover"}, true, 0},
        {"un relevo sin ventana no detiene a la segunda", relevo, {"--no-mover"}, true, 0},
        {"un empaquetado nunca espera", instalando, {"--icono", "icono.png", "--no-mover"}, true, 0},
        {"otra carpeta de datos", instalando, {"--no-mover"}, false, 1},
    };
    // clang-format on
    QTemporaryDir copia;
    const QString app = copia.path() + "/VARNO.app", programa = app + "/Contents/MacOS/VARNO";
    ASSERT_EQ(QProcess::execute("/bin/cp", {"-a", pruebas::bundle(), app}), 0);
    pruebas::escribir(app + "/Contents/Resources/paquete/instalar_mac.sh",
                      leer(pruebas::datos("instalador_eco.sh")), true);
    const QByteArray version = leer(app + "/Contents/Resources/version.txt").trimmed();
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        QTemporaryDir t;
        const QString datos = t.path() + "/Library/Application Support/VARNO";
        // This version installed, or an older one to update; an engine that notes its pid.
        const bool abre = c.primera == abriendo || c.primera == relevo;
        pruebas::escribir(datos + "/instalado.txt", abre ? version + "\n" : "0.1\n");
        pruebas::escribir(datos + "/python/bin/python",
                          QByteArray("#!/bin/sh\necho $$ >> \"$HOME/motor\"\n") +
                              (c.primera == abriendo ? "exec sleep 60\n" : ""),
                          true);
        QDir().mkpath(datos + "/app");
        std::optional<pruebas::Servidor> motor; // the engine answers, for the hand-off
        if (c.primera == relevo)
            ASSERT_TRUE(motor.emplace().listo());

        // Without a display unless offscreen: the second would show its own window.
        const auto entorno = [](const QString& home, bool offscreen) {
            QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
            for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                e.remove(v);
            e.insert("HOME", home);
            e.insert("XDG_DATA_HOME", home + "/.local/share");
            if (offscreen)
                e.insert("QT_QPA_PLATFORM", "offscreen");
            return e;
        };
        QProcess primera, otra;
        QProcessEnvironment e = entorno(t.path(), true);
        e.insert("GUION", c.primera == fallo ? "kid out:sin_red exit:1" : "out:==_3/7_X kid nap:60");
        e.insert("HUELLA", t.path() + "/hijo");
        primera.setProcessEnvironment(e);
        primera.start(programa, {"--no-mover"});
        const auto hijo = [&] { return pid_t(leer(t.path() + "/hijo").trimmed().toInt()); };
        const auto parar = qScopeGuard([&] {
            for (const QByteArray& pid : leer(t.path() + "/motor").split('\n'))
                if (pid.toInt() > 0)
                    ::kill(pid.toInt(), SIGKILL);
            if (const pid_t grupo = hijo() > 0 ? ::getpgid(hijo()) : 0; grupo > 1)
                ::kill(-grupo, SIGKILL);
            primera.kill();
            primera.waitForFinished();
        });
        // The first is where the case wants it before the second starts.
        ASSERT_TRUE(esperarHasta(
            [&] {
                const QByteArray registro = leer(datos + "/instalacion.log");
                return c.primera == relevo ||
                       (c.primera == instalando && registro.contains("== 3/7")) ||
                       (c.primera == fallo && registro.contains("sin red") && hijo() > 0 &&
                        !sigueVivo(hijo())) ||
                       (c.primera == abriendo && QFileInfo::exists(t.path() + "/motor"));
            },
            std::chrono::seconds(60)));

        otra.setProcessEnvironment(entorno(c.mismosDatos ? t.path() : t.path() + "/otra", false));
        otra.setWorkingDirectory(t.path());
        otra.start(programa, c.argumentos);
        ASSERT_TRUE(esperarHasta([&] { return otra.state() == QProcess::NotRunning; },
                                 std::chrono::seconds(c.primera == relevo ? 60 : 8)));
        EXPECT_EQ(std::pair(otra.exitStatus(), otra.exitCode()),
                  std::pair(QProcess::NormalExit, c.salida))
            << otra.readAllStandardError().toStdString();
        if (c.primera == relevo) {
            EXPECT_TRUE(esperarHasta([&] { return primera.state() == QProcess::NotRunning; },
                                     std::chrono::seconds(60)));
            EXPECT_EQ(primera.exitCode(), 0);
            EXPECT_EQ(leer(t.path() + "/motor").count('\n'), 2) << "each handed over";
        } else {
            EXPECT_EQ(primera.state(), QProcess::Running);
        }
    }
}

} // namespace
#endif
