// The health probe, and the hand-off through the built program.
#include "comun/comun.h"
#include "comun/servidor.h"
#include "engine/motor.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

TEST(Responde, SoloUnaRespuestaBuenaConVersionATiempo) {
    const std::pair<QStringList, bool> casos[] = {
        {{}, true},
        {{"--cuerpo", "{\"hola\": 1}"}, false},
        {{"--estado", "500", "--cuerpo", "version"}, false},
        {{"--retraso", "1.4"}, true},
        {{"--retraso", "1.6"}, false},
    };
    pruebas::Casa casa;
    const Globales g = casa.globales();
    for (const auto& [servidor, esperado] : casos) {
        SCOPED_TRACE(servidor.join(' ').toStdString());
        pruebas::Servidor s(servidor);
        ASSERT_TRUE(s.listo());
        // Three probes: a busy machine may slow one answer past the limit, but
        // an answer in time must come through once and a late one never.
        int buenas = 0;
        for (int i = 0; i < 3; ++i)
            buenas += responde(g);
        EXPECT_EQ(buenas > 0, esperado) << buenas;
    }
    EXPECT_FALSE(responde(g)) << "nadie en el puerto";
}

// The engine is installed and already answers: VARNO starts it once more, as
// the engine's own environment expects, and quits without a window.
TEST(Relevo, ArrancaElMotorYSaleSinVentana) {
    pruebas::Servidor s;
    ASSERT_TRUE(s.listo());
    pruebas::Casa casa;
    const QString datos = casa.home() + "/Library/Application Support/VARNO";
    const QString huella = casa.home() + "/huella";
    pruebas::escribir(datos + "/python/bin/python",
                      "#!/bin/sh\nsalida=$(readlink /proc/$$/fd/1)\n"
                      "{ echo \"$@\"; pwd; echo \"$VARNO_APP\"; echo \"$salida\"; echo \"$http_proxy\"; } "
                      "> \"$HOME/h\"; mv \"$HOME/h\" '" + huella.toUtf8() + "'\n",
                      true);
    QDir().mkpath(datos + "/app");
    pruebas::escribir(datos + "/instalado.txt",
                      pruebas::leer(pruebas::bundle() + "/Contents/Resources/version.txt"));

    QProcess varno;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert("HOME", casa.home());
    entorno.insert("QT_QPA_PLATFORM", "offscreen");
    entorno.insert("VARNO_APP", "heredado"); // replaced, not passed on
    // A proxy nobody answers: the probe must not use it, the engine inherits it.
    entorno.insert("http_proxy", "http://127.0.0.1:9");
    entorno.insert("HTTP_PROXY", "http://127.0.0.1:9");
    varno.setProcessEnvironment(entorno);
    varno.start(pruebas::ejecutable(), {"--no-mover"});
    ASSERT_TRUE(varno.waitForFinished(30'000));
    EXPECT_EQ(varno.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(varno.exitCode(), 0);

    ASSERT_TRUE(pruebas::esperarHasta([&] { return QFile::exists(huella); }));
    EXPECT_EQ(QString::fromUtf8(pruebas::leer(huella)).split('\n').mid(0, 5),
              QStringList({"-m motor", datos + "/app", pruebas::bundle(), "/dev/null", "http://127.0.0.1:9"}));
}

} // namespace
