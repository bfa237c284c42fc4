// An update through the real program: the installer runs at once, the engine
// is opened, and VARNO quits leaving it running.
#include "comun/comun.h"
#include "engine/motor.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>

namespace {

// A copy of the built bundle whose installer is a test script.
QString bundleConInstalador(const QString& destino, const QByteArray& guion) {
    const QString origen = pruebas::bundle();
    QProcess::execute("/bin/cp", {"-R", origen, destino});
    pruebas::escribir(destino + "/Contents/Resources/paquete/instalar_mac.sh", guion, true);
    return destino + "/Contents/MacOS/VARNO";
}

TEST(Actualizacion, InstalaAbreElMotorYSaleDejandoloEnMarcha) {
    pruebas::Casa casa;
    const QString datos = casa.home() + "/Library/Application Support/VARNO";
    const QString pid = casa.home() + "/motor.pid";
    // An older version is installed.
    pruebas::escribir(datos + "/python/bin/python", "#!/bin/sh\nexit 1\n", true);
    pruebas::escribir(datos + "/instalado.txt", "0.1\n");

    // The test installer puts an interpreter in place whose engine is the
    // fake health server, then names the bundle's version.
    const QByteArray guion = "#!/bin/bash\n"
                             "datos=\"$HOME/Library/Application Support/VARNO\"\n"
                             "echo '== 1/7 Preparando'\n"
                             "echo 'detalle en stderr' >&2\n"
                             "printf 'sin salto'\n"
                             "printf '\\n== 7/7 Listo\\n'\n"
                             "cat > \"$datos/python/bin/python\" <<FIN\n"
                             "#!/bin/bash\n"
                             "echo \\$\\$ > '" +
                             pid.toUtf8() +
                             "'\n"
                             "exec /usr/bin/python3 '" +
                             pruebas::datos("servidor.py").toUtf8() +
                             "' 8770\n"
                             "FIN\n"
                             "mkdir -p \"$datos/app\"\n"
                             "printf '%s\\n' \"$VARNO_VERSION\" > \"$datos/instalado.txt\"\n";
    const QString varno = bundleConInstalador(casa.home() + "/VARNO.app", guion);

    QProcess p;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert("HOME", casa.home());
    entorno.insert("QT_QPA_PLATFORM", "offscreen");
    entorno.insert("http_proxy", "http://127.0.0.1:9"); // nobody answers there
    entorno.insert("HTTP_PROXY", "http://127.0.0.1:9");
    p.setProcessEnvironment(entorno);
    p.start(varno, {"--no-mover"});
    ASSERT_TRUE(p.waitForFinished(60'000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);

    const QByteArray registro = pruebas::leer(datos + "/instalacion.log");
    const qsizetype fin = registro.indexOf('\n');
    const QByteArray version =
        pruebas::leer(pruebas::bundle() + "/Contents/Resources/version.txt").trimmed();
    EXPECT_TRUE(registro.startsWith("VARNO " + version + ": instalación "))
        << registro.toStdString();
    EXPECT_EQ(registro.mid(fin + 1),
              "== 1/7 Preparando\ndetalle en stderr\nsin salto\n== 7/7 Listo\n");

    const qint64 motor = pruebas::leer(pid).trimmed().toLongLong();
    ASSERT_GT(motor, 0);
    EXPECT_TRUE(sigueVivo(motor)) << "the engine outlives VARNO";
    Globales g;
    g.herramientas.curl = "/usr/bin/curl";
    EXPECT_TRUE(responde(g));
    ::kill(static_cast<pid_t>(motor), SIGTERM);
    pruebas::esperarHasta([&] { return !sigueVivo(motor); });
}

} // namespace
