#include "comun/comun.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

QProcessEnvironment sinPantalla(const QString& home) {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        e.remove(v);
    e.insert("HOME", home);
    return e;
}

// Without a screen, a start that needs the window says so in one line and
// fails, instead of the toolkit aborting.
TEST(Arranque, SinPantallaLoDiceEnUnaLinea) {
    pruebas::Casa casa;
    QProcess varno;
    varno.setProcessEnvironment(sinPantalla(casa.home()));
    varno.start(pruebas::ejecutable(), {"--no-mover"});
    ASSERT_TRUE(varno.waitForFinished(30'000));
    EXPECT_EQ(varno.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(varno.exitCode(), 0);
    const QString error = QString::fromUtf8(varno.readAllStandardError()).trimmed();
    EXPECT_TRUE(error.startsWith("VARNO necesita una pantalla")) << error.toStdString();
    EXPECT_EQ(error.count('\n'), 0) << error.toStdString();
}

} // namespace
