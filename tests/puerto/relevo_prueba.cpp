// Tests that bind 127.0.0.1:8770; CTest runs them one at a time.
#include "comun/comun.h"
#include "comun/servidor.h"
#include "engine/motor.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

TEST(Responde, SoloUnaRespuestaBuenaConVersionATiempo) {
    struct Caso {
        const char* nombre;
        QStringList servidor;
        bool esperado;
    };
    const Caso casos[] = {
        {"200 con version", {}, true},
        {"200 sin version", {"--cuerpo", "{\"hola\": 1}"}, false},
        {"500 con version", {"--estado", "500", "--cuerpo", "version"}, false},
        {"a 1.4 s", {"--retraso", "1.4"}, true},
        {"a 1.6 s", {"--retraso", "1.6"}, false},
    };
    pruebas::Casa casa;
    const Globales g = casa.globales();
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        pruebas::Servidor s(c.servidor);
        ASSERT_TRUE(s.listo());
        // Three probes: a busy machine may slow one answer past the limit, but
        // an answer in time must come through once and a late one never.
        int buenas = 0;
        for (int i = 0; i < 3; ++i)
            buenas += responde(g);
        EXPECT_EQ(buenas > 0, c.esperado) << buenas;
    }
    EXPECT_FALSE(responde(g)) << "nadie en el puerto";
}

// The engine is installed and already answers: VARNO starts it once more and
// quits without a window.
TEST(Relevo, ArrancaElMotorYSaleSinVentana) {
    pruebas::Servidor s;
    ASSERT_TRUE(s.listo());
    pruebas::Casa casa;
    const QString datos = casa.home() + "/Library/Application Support/VARNO";
    const QString huella = casa.home() + "/huella";
    pruebas::escribir(
        datos + "/python/bin/python",
        "#!/bin/sh\nsalida=$(readlink /proc/$$/fd/1)\n"
        "{ echo \"$@\"; pwd; echo \"$VARNO_APP\"; echo \"$salida\"; echo \"$http_proxy\"; } "
        "> \"$HOME/h\"; mv \"$HOME/h\" '" +
            huella.toUtf8() + "'\n",
        true);
    QDir().mkpath(datos + "/app");
    const QByteArray version = pruebas::leer(pruebas::bundle() + "/Contents/Resources/version.txt");
    pruebas::escribir(datos + "/instalado.txt", version);

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
    const QStringList lineas = QString::fromUtf8(pruebas::leer(huella)).split('\n');
    EXPECT_EQ(lineas.value(0), "-m motor");
    EXPECT_EQ(lineas.value(1), datos + "/app");
    EXPECT_EQ(lineas.value(2), pruebas::bundle());
    EXPECT_EQ(lineas.value(3), "/dev/null");
    EXPECT_EQ(lineas.value(4), "http://127.0.0.1:9");
}

} // namespace
