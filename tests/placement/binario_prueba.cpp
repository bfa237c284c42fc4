// The real program: its move into Applications and its single running instance.
#include "comun/comun.h"
#include "comun/servidor.h"
#include "engine/motor.h"
#include "placement/instancia.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#ifdef Q_OS_LINUX
#include <csignal>
#include <optional>
#include <unistd.h>

using pruebas::esperarHasta;

namespace {

// Started with `home` as its home folder, and without a display unless `offscreen`.
void preparar(QProcess& p, const QString& home, bool offscreen) {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        e.remove(v);
    e.insert("HOME", home);
    e.insert("XDG_DATA_HOME", home + "/.local/share");
    if (offscreen)
        e.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(e);
}

// Moved from a renamed bundle: the original goes to the Trash, and the copy,
// started with its own tools and no arguments, keeps running after it quit.
TEST(ColocacionBinario, SeCopiaAApplicationsDeHomeYArrancaLaCopia) {
    if (QFileInfo::exists("/Applications"))
        GTEST_SKIP() << "/Applications existe: la prueba no lo toca";
    QTemporaryDir t;
    const QString home = t.path() + "/home", fuente = t.path() + "/Descargas/VARNO 2.app";
    QDir().mkpath(t.path() + "/Descargas");
    ASSERT_EQ(QProcess::execute("/bin/cp", {"-a", pruebas::bundle(), fuente}), 0);
    const QString copia = home + "/Applications/VARNO.app/Contents/MacOS/VARNO";

    QProcess original;
    preparar(original, home, true);
    original.start(fuente + "/Contents/MacOS/VARNO");
    ASSERT_TRUE(original.waitForFinished(60'000));
    qint64 pid = 0; // the copy's, from the lock it holds
    const auto parar = qScopeGuard([&] {
        if (pid > 0)
            ::kill(pid, SIGTERM);
    });
    EXPECT_EQ(std::pair(original.exitStatus(), original.exitCode()),
              std::pair(QProcess::NormalExit, 0))
        << original.readAllStandardError().toStdString();
    EXPECT_FALSE(QFileInfo::exists(fuente));
    EXPECT_TRUE(QFileInfo::exists(home + "/.local/share/Trash/files/VARNO 2.app"));
    QLockFile cerrojo(Instancia::nombreDe(home + "/Library/Application Support/VARNO") + ".lock");
    QString equipo, programa;
    ASSERT_TRUE(esperarHasta([&] { return cerrojo.getLockInfo(&pid, &equipo, &programa); }));
    EXPECT_EQ(pruebas::leer("/proc/" + QString::number(pid) + "/cmdline"), copia.toUtf8() + '\0');
}

// A second start beside a real first VARNO on the same data folder, from a copy
// of the bundle whose installer is the scriptable test one. A first with a
// window (installing, opening, failed) brings it to the front and the second
// exits 0 at once, not after the ten seconds it waits for a first without a
// window; a first that only hands over to the engine does not stop a second
// from doing the same.
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
    const QString app = copia.path() + "/VARNO.app", recursos = app + "/Contents/Resources";
    ASSERT_EQ(QProcess::execute("/bin/cp", {"-a", pruebas::bundle(), app}), 0);
    pruebas::escribir(recursos + "/paquete/instalar_mac.sh",
                      pruebas::leer(pruebas::datos("instalador_eco.sh")), true);
    const QByteArray version = pruebas::leer(recursos + "/version.txt").trimmed();
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        QTemporaryDir t;
        const QString datos = t.path() + "/Library/Application Support/VARNO";
        // An installation of this version, or of an older one to update.
        pruebas::escribir(datos + "/instalado.txt", c.primera == abriendo || c.primera == relevo
                                                        ? version + "\n"
                                                        : QByteArray("0.1\n"));
        pruebas::escribir(datos + "/python/bin/python",
                          QByteArray("#!/bin/sh\necho $$ >> \"$HOME/motor\"\n") +
                              (c.primera == abriendo ? "exec sleep 60\n" : ""),
                          true);
        QDir().mkpath(datos + "/app");
        std::optional<pruebas::Servidor> motor; // the engine answers, for the hand-off
        if (c.primera == relevo)
            ASSERT_TRUE(motor.emplace().listo());

        QProcess primera, otra;
        preparar(primera, t.path(), true);
        QProcessEnvironment e = primera.processEnvironment();
        e.insert("GUION",
                 c.primera == fallo ? "kid out:sin_red exit:1" : "out:==_3/7_X kid nap:60");
        e.insert("HUELLA", t.path() + "/hijo");
        primera.setProcessEnvironment(e);
        primera.start(app + "/Contents/MacOS/VARNO", {"--no-mover"});
        const auto parar = qScopeGuard([&] {
            for (const QByteArray& pid : pruebas::leer(t.path() + "/motor").split('\n'))
                if (pid.toInt() > 0)
                    ::kill(pid.toInt(), SIGKILL);
            const pid_t hijo = pruebas::leer(t.path() + "/hijo").trimmed().toInt();
            if (const pid_t grupo = hijo > 0 ? ::getpgid(hijo) : 0; grupo > 1)
                ::kill(-grupo, SIGKILL);
            primera.kill();
            primera.waitForFinished();
        });
        // The first is where the case wants it before the second starts.
        const auto lista = [&] {
            const QByteArray registro = pruebas::leer(datos + "/instalacion.log");
            const pid_t hijo = pruebas::leer(t.path() + "/hijo").trimmed().toInt();
            switch (c.primera) {
            case instalando:
                return registro.contains("== 3/7");
            case fallo:
                return registro.contains("sin red") && hijo > 0 && !sigueVivo(hijo);
            case abriendo:
                return QFileInfo::exists(t.path() + "/motor");
            case relevo:
                return true;
            }
            return false;
        };
        ASSERT_TRUE(esperarHasta(lista, std::chrono::seconds(60)));

        preparar(otra, c.mismosDatos ? t.path() : t.path() + "/otra", false);
        otra.setWorkingDirectory(t.path());
        otra.start(app + "/Contents/MacOS/VARNO", c.argumentos);
        ASSERT_TRUE(esperarHasta([&] { return otra.state() == QProcess::NotRunning; },
                                 std::chrono::seconds(c.primera == relevo ? 60 : 8)));
        EXPECT_EQ(std::pair(otra.exitStatus(), otra.exitCode()),
                  std::pair(QProcess::NormalExit, c.salida))
            << otra.readAllStandardError().toStdString();
        if (c.primera == relevo) {
            EXPECT_TRUE(esperarHasta([&] { return primera.state() == QProcess::NotRunning; },
                                     std::chrono::seconds(60)));
            EXPECT_EQ(primera.exitCode(), 0);
            EXPECT_EQ(pruebas::leer(t.path() + "/motor").count('\n'), 2) << "each handed over";
        } else {
            EXPECT_EQ(primera.state(), QProcess::Running);
        }
    }
}

} // namespace
#endif
