// The stand-ins for the macOS tools that the bundle carries on Linux.
#include "comun/comun.h"
#include "engine/correr.h"
#include "placement/colocacion.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef Q_OS_LINUX
using pruebas::escribir;
using pruebas::leer;

namespace {

const Herramientas h = herramientasDelSistema(pruebas::bundle() + "/Contents/Resources");

// The desktop's application menu stands for the Dock; it is pinned to only once.
TEST(ColocacionPlataforma, ElMenuDelEscritorioHaceDeDock) {
    QTemporaryDir t;
    const QString entrada = qEnvironmentVariable("XDG_DATA_HOME") + "/applications/varno.desktop";
    const QString bundle = t.path() + "/a b&c/100%/$x \"y\" `z`\\/VARNO.app";
    escribir(bundle + "/Contents/MacOS/VARNO", "", true);
    ponerEnElDock(bundle, h);
    ponerEnElDock(t.path() + "/Otra/VARNO.app", h);
    const QString texto = QString::fromUtf8(leer(entrada));
    // Quoted for Exec: \ " ` $ escaped twice over, % doubled.
    EXPECT_TRUE(texto.contains("\nExec=\"" + t.path() +
                               "/a b&c/100%%/\\\\$x \\\\\"y\\\\\" \\\\`z\\\\`\\\\\\\\/VARNO.app/"
                               "Contents/MacOS/VARNO\"\n"))
        << texto.toStdString();
    EXPECT_TRUE(texto.contains("\nIcon=" + QString(bundle).replace("\\", "\\\\") +
                               "/Contents/Resources/icono.png\n"));
    EXPECT_EQ(QProcess::execute("desktop-file-validate", {entrada}), 0);
}

// `open` hands over what follows --args and keeps the program's output to itself.
TEST(ColocacionPlataforma, OpenPasaLosArgumentos) {
    QTemporaryDir t;
    const QString programa = t.path() + "/Prueba.app/Contents/MacOS/Prueba";
    escribir(programa, "#!/bin/sh\necho ruido\nprintf '%s\\n' \"$@\" > \"$0.args\"\n", true);
    EXPECT_EQ(
        correr(h.open, {"-n", t.path() + "/Prueba.app", "--args", "--expulsar", "/Volumes/D i"}),
        "");
    EXPECT_TRUE(pruebas::esperarHasta(
        [&] { return leer(programa + ".args") == "--expulsar\n/Volumes/D i\n"; }));
}

} // namespace
#endif
