#include "engine/correr.h"

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

std::optional<QString> lineaQueCuenta(const QString& texto) {
    QStringList guardadas;
    qsizetype inicio = 0;
    for (qsizetype i = 0; i <= texto.size(); ++i) {
        if (i < texto.size() && !esSaltoDeLinea(texto[i].unicode()))
            continue;
        const QString linea = recortarEspacios(QStringView(texto).sliced(inicio, i - inicio));
        if (!linea.isEmpty() && !linea.startsWith(QLatin1String("---")))
            guardadas.append(linea);
        inicio = i + 1;
    }
    if (guardadas.isEmpty())
        return std::nullopt;
    QString elegida = guardadas.last();
    for (auto it = guardadas.crbegin(); it != guardadas.crend(); ++it) {
        if (it->contains(QLatin1String("Error")) || it->contains(QLatin1String("error"))) {
            elegida = *it;
            break;
        }
    }
    return acortar(elegida, 160);
}

std::optional<QString> ultimaLinea(const QString& ruta) {
    const auto texto = leerUtf8(ruta);
    if (!texto)
        return std::nullopt;
    return lineaQueCuenta(*texto);
}
