#include "comun/servidor.h"

#include "comun/comun.h"

namespace pruebas {

Servidor::Servidor(const QStringList& opciones) {
    proceso_.setProgram(QStringLiteral("/usr/bin/python3"));
    proceso_.setArguments(
        QStringList{datos(QStringLiteral("servidor.py")), QStringLiteral("8770")} + opciones);
    proceso_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proceso_.start();
    listo_ = proceso_.waitForReadyRead(10'000) && proceso_.readAll().startsWith("listo");
}

Servidor::~Servidor() {
    proceso_.terminate();
    if (!proceso_.waitForFinished(5'000))
        proceso_.kill();
    proceso_.waitForFinished(5'000);
}

} // namespace pruebas
