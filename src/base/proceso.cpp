#include "base/proceso.h"

#include "base/texto.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <optional>

namespace {
#ifdef Q_OS_LINUX
// A process's state letter and group as /proc tells them; nothing once it is gone.
struct Estado {
    char letra;
    qint64 grupo;
    bool acabado() const { return letra == 'Z' || letra == 'X'; }
};
std::optional<Estado> estadoDe(const QString& pid) {
    QFile f(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    // After the name in parentheses, which may hold anything: state, parent, group.
    const QByteArray linea = f.readAll();
    const qsizetype fin = linea.lastIndexOf(')');
    const QList<QByteArray> campos = linea.mid(fin + 2).split(' ');
    if (fin < 0 || campos.size() < 3 || campos[0].size() != 1)
        return std::nullopt;
    return Estado{campos[0][0], campos[2].toLongLong()};
}
#endif
} // namespace

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

bool sigueVivo(qint64 id, bool grupo) {
    if (id <= 0)
        return false;
    const auto pid = static_cast<pid_t>(id);
    if (::kill(grupo ? -pid : pid, 0) != 0 && errno != EPERM)
        return false;
#ifdef Q_OS_LINUX
    if (!grupo) {
        const auto e = estadoDe(QString::number(id));
        return !e || !e->acabado();
    }
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& otro : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!otro.front().isDigit())
            continue;
        if (const auto e = estadoDe(otro); e && e->grupo == id && !e->acabado())
            return true;
    }
    return false;
#else
    return true;
#endif
}
