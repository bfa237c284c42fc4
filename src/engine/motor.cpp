#include "engine/motor.h"

#include "base/texto.h"
#include "engine/correr.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <csignal>

QStringList argumentosSonda() {
    // A proxy from the user's environment would get the loopback request and
    // never pass it on: the probe always goes straight to the engine.
    return {QStringLiteral("-fs"), QStringLiteral("--noproxy"), QStringLiteral("*"),
            QStringLiteral("-m"),  QStringLiteral("1.5"),       QString::fromLatin1(URL_SALUD)};
}

bool instalado(const Globales& g) {
    const auto marca = leerUtf8(QDir(g.DATOS).filePath(QStringLiteral("instalado.txt")));
    const QFileInfo python(g.PYTHON);
    if (!python.isFile() || !python.isExecutable())
        return false;
    if (!marca)
        return false;
    return marca->trimmed() == g.VERSION;
}

bool responde(const Globales& g) {
    const Corrida sonda = correr(g.herramientas.curl, argumentosSonda());
    return sonda.bien() && sonda.salida.contains(QLatin1String("version"));
}

std::optional<qint64> abrirVARNO(const Globales& g) {
    QProcess p;
    p.setProgram(g.PYTHON);
    p.setArguments({QStringLiteral("-m"), QStringLiteral("motor")});
    p.setWorkingDirectory(QDir(g.DATOS).filePath(QStringLiteral("app")));
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert(QStringLiteral("VARNO_APP"), g.BUNDLE);
    p.setProcessEnvironment(entorno);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!p.startDetached(&pid) || pid <= 0)
        return std::nullopt;
    return pid;
}

bool sigueVivo(qint64 pid) {
    if (pid <= 0)
        return false;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)
        return false;
#ifdef Q_OS_LINUX
    // A detached process is not ours to reap; where nothing reaps it (a bare
    // container's first process), an ended one stays a zombie.
    QFile estado(QStringLiteral("/proc/%1/stat").arg(pid));
    if (estado.open(QIODevice::ReadOnly)) {
        const QByteArray linea = estado.readAll();
        const qsizetype fin = linea.lastIndexOf(')');
        if (fin >= 0 && fin + 2 < linea.size() && (linea[fin + 2] == 'Z' || linea[fin + 2] == 'X'))
            return false;
    }
#endif
    return true;
}
