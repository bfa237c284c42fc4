#include "comun/comun.h"
#include "engine/motor.h"

#include <sys/stat.h>

using pruebas::esperarHasta;
using pruebas::leer;

namespace {

// One VARNO per data folder: a second start hands over to a first with a window, and says so beside
// one that never answers; nothing goes to the shared temporary folder another user could claim.
// (A killed one's lock, and a removal it cut short, are the random kills' in prueba_matar.py.)
TEST(ColocacionBinario, UnaSolaInstanciaPorCarpetaDeDatos) {
    // Installing stands for every screen: a shown window is what a second start finds.
    enum Primera { instalando, relevo, detenida };
    const struct {
        Primera primera;
        QStringList argumentos; // of the second start
        const char* home;       // of the second, below the first's
        const char* dice = "";  // the second's one line on standard error; it then ends 1
    } casos[] = {
        {instalando, {}, ""},
        {relevo, {}, ""},
        {instalando, {"--icono", "icono.png"}, ""},               // a packaging run never waits
        {instalando, {}, "/otra", "VARNO necesita una pantalla"}, // it ran itself
        {detenida, {}, "", "VARNO no se abre: ya hay otro en marcha que no responde"},
    };
    QTemporaryDir compartida;
    ::chmod(QFile::encodeName(compartida.path()), 01777);
    QTemporaryDir copia;
    const QString app = copia.path() + "/VARNO.app", programa = app + "/Contents/MacOS/VARNO";
    ASSERT_EQ(QProcess::execute("/bin/cp", {"-a", pruebas::bundle(), app}), 0);
    const QByteArray version = leer(app + "/Contents/Resources/version.txt");
    // An installer that leaves a child behind, noted in ~/hijo, and waits.
    pruebas::escribir(app + "/Contents/Resources/paquete/instalar_mac.sh",
                      "#!/bin/bash\necho '== 3/7 X'\nsleep 60 &\necho $! > ~/hijo\nsleep 60\n",
                      true);
    for (const auto& c : casos) {
        SCOPED_TRACE(int(c.primera));
        QTemporaryDir t;
        const QString datos = t.path() + "/Library/Application Support/VARNO";
        // This version installed, or an older one to update; an engine that notes its pid.
        const bool instalada = c.primera == relevo;
        pruebas::escribir(datos + "/instalado.txt", instalada ? version : "0.1\n");
        pruebas::escribir(datos + "/python/bin/python", "#!/bin/sh\necho $$ >> \"$HOME/motor\"\n",
                          true);
        QDir().mkpath(datos + "/app");
        std::optional<pruebas::Puerto> puerto; // the engine answers, for the hand-off
        if (instalada)
            puerto.emplace(pruebas::http(200));
        // Without a display unless offscreen: the second would show its own window.
        const auto entorno = [&](const QString& home, bool offscreen) {
            QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
            for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_DATA_HOME",
                                  "XDG_RUNTIME_DIR"})
                e.remove(v);
            e.insert("TMPDIR", compartida.path());
            e.insert("HOME", home);
            if (offscreen)
                e.insert("QT_QPA_PLATFORM", "offscreen");
            return e;
        };
        QProcess primera, otra;
        primera.setProcessEnvironment(entorno(t.path(), true));
        primera.start(programa, {"--no-mover"});
        const auto hijo = [&] { return pid_t(leer(t.path() + "/hijo").toInt()); };
        const auto parar = qScopeGuard([&] {
            QList<QByteArray> pids = leer(t.path() + "/motor").split('\n');
            if (hijo() > 0) // the installer's whole group
                pids.append(QByteArray::number(-::getpgid(hijo())));
            for (const QByteArray& pid : pids)
                if (pid.toInt() < -1 || pid.toInt() > 1)
                    ::kill(pid.toInt(), SIGKILL);
        });
        // The first is where the case wants it before the second starts.
        ASSERT_TRUE(esperarHasta(
            [&] { return instalada || leer(datos + "/instalacion.log").contains("== 3/7"); },
            std::chrono::seconds(60)));

        if (c.primera == detenida)
            ::kill(pid_t(primera.processId()), SIGSTOP);
        otra.setProcessEnvironment(entorno(t.path() + c.home, false));
        otra.setWorkingDirectory(t.path());
        otra.start(programa, c.argumentos + QStringList{"--no-mover"});
        ASSERT_TRUE(esperarHasta([&] { return otra.state() == QProcess::NotRunning; },
                                 std::chrono::seconds(c.primera < relevo ? 8 : 60)));
        // Qt's own notice of the missing runtime folder aside.
        const QString error = QString::fromUtf8(otra.readAllStandardError())
                                  .remove(QRegularExpression("^QStandardPaths: .*\n",
                                                             QRegularExpression::MultilineOption))
                                  .trimmed();
        EXPECT_TRUE(otra.exitStatus() == QProcess::NormalExit &&
                    otra.exitCode() == (*c.dice ? 1 : 0) &&
                    (*c.dice ? error.startsWith(c.dice) && !error.contains('\n') : error.isEmpty()))
            << otra.exitCode() << error.toStdString();
        EXPECT_EQ(
            QDir(compartida.path()).entryList({"*.lock", "*.sock"}, QDir::Files | QDir::System),
            QStringList());
        // Each handed over to the engine and ended well; otherwise the first goes on.
        EXPECT_TRUE(c.primera == relevo
                        ? esperarHasta([&] { return primera.state() == QProcess::NotRunning; },
                                       std::chrono::seconds(60)) &&
                              primera.exitCode() == 0 && leer(t.path() + "/motor").count('\n') == 2
                        : primera.state() == QProcess::Running);
    }
}

} // namespace
