#include "comun/comun.h"

// Every test program runs with a HOME of its own and, unless told otherwise, without a display.
int main(int argc, char** argv) {
    QTemporaryDir casa;
    qputenv("HOME", casa.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (casa.path() + QStringLiteral("/.local/share")).toLocal8Bit());
    QTemporaryDir tiempoDeEjecucion;
    QFile::setPermissions(tiempoDeEjecucion.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", tiempoDeEjecucion.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication aplicacion(argc, argv);
    return RUN_ALL_TESTS();
}
