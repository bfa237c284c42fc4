// The stand-ins for the macOS tools that the bundle carries on Linux.
#include "comun/comun.h"
#include "engine/correr.h"
#include "placement/colocacion.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef Q_OS_LINUX
using pruebas::escribir;
using pruebas::leer;

namespace {

const Herramientas h = herramientasDelSistema(pruebas::bundle() + "/Contents/Resources");

// The desktop's data folder of this test alone.
struct Datos {
    QTemporaryDir dir;
    QByteArray antes = qgetenv("XDG_DATA_HOME");
    Datos() { qputenv("XDG_DATA_HOME", dir.path().toUtf8()); }
    ~Datos() { qputenv("XDG_DATA_HOME", antes); }
    QString entrada() const { return dir.path() + "/applications/varno.desktop"; }
};

TEST(ColocacionPlataforma, ElMenuDelEscritorioHaceDeDock) {
    Datos datos;
    const QString bundle = datos.dir.path() + "/a b&c/100%/$x \"y\" `z`\\/VARNO.app";
    escribir(bundle + "/Contents/MacOS/VARNO", "", true);
    ponerEnElDock(bundle, h);
    const QString texto = QString::fromUtf8(leer(datos.entrada()));
    // Quoted for Exec: \ " ` $ escaped twice over, % doubled.
    EXPECT_TRUE(texto.contains("\nExec=\"" + datos.dir.path() +
                               "/a b&c/100%%/\\\\$x \\\\\"y\\\\\" \\\\`z\\\\`\\\\\\\\/VARNO.app/"
                               "Contents/MacOS/VARNO\"\n"))
        << texto.toStdString();
    EXPECT_TRUE(texto.contains("\nIcon=" + QString(bundle).replace("\\", "\\\\") +
                               "/Contents/Resources/icono.png\n"));
    EXPECT_TRUE(
        correr(h.defaults, {"read", "com.apple.dock", "persistent-apps"}).contains("VARNO.app"));
    EXPECT_EQ(QProcess::execute("desktop-file-validate", {datos.entrada()}), 0);
}

// The new instance keeps running after `open` returned: `correr` did not wait for it.
TEST(ColocacionPlataforma, OpenArrancaUnaInstanciaAparte) {
    QTemporaryDir t;
    const QString programa = t.path() + "/Prueba.app/Contents/MacOS/Prueba";
    escribir(programa,
             "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\necho ruido\ni=0\n"
             "while [ ! -e \"$0.suelta\" ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n"
             "touch \"$0.fin\"\n",
             true);
    EXPECT_EQ(
        correr(h.open, {"-n", t.path() + "/Prueba.app", "--args", "--expulsar", "/Volumes/D i"}),
        "");
    EXPECT_FALSE(QFileInfo::exists(programa + ".fin"));
    ASSERT_TRUE(pruebas::esperarHasta([&] { return QFileInfo(programa + ".args").size() > 0; }));
    EXPECT_EQ(leer(programa + ".args"), "--expulsar\n/Volumes/D i\n");
    escribir(programa + ".suelta", "");
    EXPECT_TRUE(pruebas::esperarHasta([&] { return QFileInfo::exists(programa + ".fin"); }));
}

} // namespace
#endif
