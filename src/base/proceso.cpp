#include "base/proceso.h"

#include "base/texto.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>

Corrida correr(const QString& ejecutable, const QStringList& argumentos,
               std::chrono::milliseconds limite) {
    QProcess p;
    // The path is taken as given: a relative one names a file in the working
    // directory and nothing is looked up in PATH.
    p.setProgram(QDir::current().absoluteFilePath(ejecutable));
    p.setArguments(argumentos);
    p.setStandardErrorFile(QProcess::nullDevice());
    // A tool that asks a question would otherwise wait for an answer forever.
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(QIODevice::ReadOnly);
    Corrida c;
    const QDeadlineTimer plazo(limite);
    if (!p.waitForStarted(static_cast<int>(limite.count())))
        return c;
    // QProcess drains the pipe while it waits, so a tool that prints more than
    // a pipe holds never blocks.
    if (!p.waitForFinished(static_cast<int>(qMax<qint64>(plazo.remainingTime(), 0)))) {
        p.kill();
        p.waitForFinished(-1);
        return c;
    }
    c.salida = decodificar(p.readAllStandardOutput());
    if (p.exitStatus() == QProcess::NormalExit)
        c.estado = p.exitCode();
    return c;
}
