#include "engine/correr.h"

#include "base/texto.h"

#include <QDir>
#include <QProcess>

QString correr(const QString& ejecutable, const QStringList& argumentos) {
    QProcess p;
    // The path is taken as given: a relative one names a file in the working
    // directory and nothing is looked up in PATH.
    p.setProgram(QDir::current().absoluteFilePath(ejecutable));
    p.setArguments(argumentos);
    p.setStandardErrorFile(QProcess::nullDevice());
    p.setInputChannelMode(QProcess::ForwardedInputChannel);
    p.start(QIODevice::ReadOnly);
    if (!p.waitForStarted(-1))
        return {};
    // QProcess drains the pipe while it waits, so a tool that prints more than
    // a pipe holds never blocks; the call returns once the tool has exited.
    p.waitForFinished(-1);
    const QByteArray salida = p.readAllStandardOutput();
    return decodificar(salida);
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
