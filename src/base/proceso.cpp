#include "base/proceso.h"

#include "base/texto.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <optional>

namespace {
#ifdef Q_OS_LINUX
// A process's state letter and group as /proc tells them; nothing once it is gone.
struct Estado {
    QChar letra;
    qint64 grupo;
    bool acabado() const { return letra == u'Z' || letra == u'X'; }
};
std::optional<Estado> estadoDe(const QString& pid) {
    QFile f(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    // After the name in parentheses, which may hold anything (the greedy start
    // reaches its last parenthesis): state, parent, group.
    static const QRegularExpression campos(
        QStringLiteral(R"(\A.*\) (?<letra>\S) -?\d+ (?<grupo>\d+) )"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = campos.match(QString::fromLatin1(f.readAll()));
    if (!m.hasMatch())
        return std::nullopt;
    return Estado{m.capturedView(u"letra").front(), m.capturedView(u"grupo").toLongLong()};
}
#endif
} // namespace

QProcessEnvironment entornoDeHerramienta(const QProcessEnvironment& propio) {
    QProcessEnvironment e;
    // The XDG folders are where Linux's stand-ins for the Dock keep their state.
    for (const char* v : {"HOME", "USER", "LOGNAME", "TMPDIR", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
        if (propio.contains(QLatin1String(v)))
            e.insert(QLatin1String(v), propio.value(QLatin1String(v)));
    e.insert(QStringLiteral("PATH"), QLatin1String(rutaDelSistema));
    return e;
}

Corrida correr(const QString& ejecutable, const QStringList& argumentos, const ComoCorrer& como) {
    QProcess p;
    // The path is taken as given: a relative one names a file in the working
    // directory and nothing is looked up in PATH.
    p.setProgram(QDir::current().absoluteFilePath(ejecutable));
    p.setArguments(argumentos);
    if (!como.carpeta.isEmpty())
        p.setWorkingDirectory(como.carpeta);
    p.setProcessEnvironment(como.entorno
                                ? *como.entorno
                                : entornoDeHerramienta(QProcessEnvironment::systemEnvironment()));
    if (como.conErrores)
        p.setProcessChannelMode(QProcess::MergedChannels);
    else
        p.setStandardErrorFile(QProcess::nullDevice());
    // A tool that asks a question would otherwise wait for an answer forever.
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(QIODevice::ReadOnly);
    Corrida c;
    const QDeadlineTimer plazo(como.limite);
    const auto parado = [&] { return como.parar && *como.parar; };
    // QProcess drains the pipe while it waits, so a tool that prints more than
    // a pipe holds never blocks. With a stop flag, it is looked at every 50 ms.
    bool acabado = false;
    while (!acabado && p.state() != QProcess::NotRunning && !parado() && !plazo.hasExpired())
        acabado = p.waitForFinished(
            int(como.parar ? std::min<qint64>(plazo.remainingTime(), 50) : plazo.remainingTime()));
    if (!acabado) {
        p.kill();
        p.waitForFinished();
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
    // A process of another user still answers, with EPERM.
    bool vivo = ::kill(grupo ? -pid : pid, 0) == 0 || errno == EPERM;
#ifdef Q_OS_LINUX
    // An ended process answers until it is reaped: /proc tells it apart.
    if (vivo && !grupo) {
        const auto e = estadoDe(QString::number(id));
        vivo = !e || !e->acabado();
    } else if (vivo) {
        const QDir proc(QStringLiteral("/proc"));
        const QStringList todos = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        vivo = std::any_of(todos.begin(), todos.end(), [id](const QString& otro) {
            const auto e = otro.front().isDigit() ? estadoDe(otro) : std::nullopt;
            return e && e->grupo == id && !e->acabado();
        });
    }
#endif
    return vivo;
}
