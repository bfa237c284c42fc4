// The real program: its move into Applications and its single running instance.
#include "comun/comun.h"
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

// The running instance is played by this test, on the data folder of `home`.
TEST(ColocacionBinario, UnaSolaInstanciaPorCarpetaDeDatos) {
    struct Caso {
        const char* nombre;
        QStringList argumentos;
        bool mismosDatos;
        bool conVentana;
        int salida; // 0: handed over; 1: ran itself and found no display
        int pedidos;
    };
    // clang-format off
    const Caso casos[] = {
        {"con ventana: se la trae al frente", {"--no-mover"}, true, true, 0, 1},
        {"sin ventana y saliendo: la nueva sigue", {"--no-mover"}, true, false, 1, 1},
        {"un empaquetado nunca espera", {"--icono", "icono.png", "--no-mover"}, true, true, 0, 0},
        {"otra carpeta de datos", {"--no-mover"}, false, true, 1, 0},
    };
    // clang-format on
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        QTemporaryDir t;
        auto corriendo =
            std::make_unique<Instancia>(t.path() + "/Library/Application Support/VARNO");
        ASSERT_TRUE(corriendo->tomar());
        int pedidos = 0;
        corriendo->alPedirVentana = [&] {
            ++pedidos;
            // One that quits (after a move) lets go of the lock right after.
            if (!c.conVentana)
                QTimer::singleShot(0, [&] { corriendo.reset(); });
            return c.conVentana;
        };

        QProcess otra;
        preparar(otra, c.mismosDatos ? t.path() : t.path() + "/otra", false);
        otra.setWorkingDirectory(t.path());
        otra.start(pruebas::ejecutable(), c.argumentos);
        ASSERT_TRUE(esperarHasta([&] { return otra.state() == QProcess::NotRunning; },
                                 std::chrono::seconds(60)));
        EXPECT_EQ(std::pair(otra.exitStatus(), otra.exitCode()),
                  std::pair(QProcess::NormalExit, c.salida))
            << otra.readAllStandardError().toStdString();
        EXPECT_EQ(pedidos, c.pedidos);
    }
}

} // namespace
#endif
