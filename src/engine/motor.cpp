#include "engine/motor.h"

#include "base/proceso.h"
#include "base/texto.h"
#include "engine/partes.h"
#include "engine/puerto.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>

namespace {
// The engine's output file starts afresh past 1 MiB, keeping its newest 256 KiB.
constexpr qint64 TOPE_SALIDA = 1 << 20, GUARDADO_SALIDA = 256 << 10;
// The line before each start's output.
constexpr char MARCA_ARRANQUE[] = "--- VARNO abre el motor: ";

// Readies the output file for another start; false when it cannot be written.
bool prepararSalida(const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Append))
        return false;
    if (f.size() > TOPE_SALIDA && f.seek(f.size() - GUARDADO_SALIDA)) {
        QByteArray nuevas = f.readAll();
        nuevas.remove(0, nuevas.indexOf('\n') + 1);
        // Cut in place, not replaced: an engine still running appends to this file.
        if (!f.resize(0) || f.write(nuevas) != nuevas.size())
            return false;
    }
    const QByteArray marca =
        MARCA_ARRANQUE + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + '\n';
    return f.write(marca) == marca.size();
}
} // namespace

QStringList argumentosSonda() {
    // -q, which curl takes only first, keeps ~/.curlrc out: it could make every
    // probe fail or every probe succeed. Older curl takes a reply that is not
    // HTTP at all, from any program that prints "version", unless told not to.
    // A proxy from the user's environment would get the loopback request and
    // never pass it on: the probe always goes straight to the engine.
    return {QStringLiteral("-q"),  QStringLiteral("--no-http0.9"),
            QStringLiteral("-fs"), QStringLiteral("--noproxy"),
            QStringLiteral("*"),   QStringLiteral("-m"),
            QStringLiteral("1.5"), QString::fromLatin1(URL_SALUD)};
}

QString salidaDelMotor(const Globales& g) {
    return QDir(g.DATOS).filePath(QStringLiteral("motor-salida.log"));
}

QProcessEnvironment entornoDelMotor(const QProcessEnvironment& usuario, const QString& bundle) {
    // These make Python, or what the engine starts, look for its modules elsewhere.
    static const QStringList fuera = {QStringLiteral("VIRTUAL_ENV"), QStringLiteral("CONDA_PREFIX"),
                                      QStringLiteral("CONDA_DEFAULT_ENV"),
                                      QStringLiteral("__PYVENV_LAUNCHER__")};
    QProcessEnvironment entorno;
    for (const QString& nombre : usuario.keys())
        if (!nombre.startsWith(QLatin1String("PYTHON")) && !fuera.contains(nombre))
            entorno.insert(nombre, usuario.value(nombre));
    entorno.insert(QStringLiteral("VARNO_APP"), bundle);
    return entorno;
}

Sonda sondear(const Globales& g) {
    const Corrida sonda = correr(g.herramientas.curl, argumentosSonda());
    if (!sonda.bien() || !sonda.salida.contains(QLatin1String("version")))
        return Sonda::callada;
    // On a shared machine another user's program may hold the port and answer
    // in the engine's place. When the owner cannot be told (the system's
    // tool failed), the answer counts, as it always did: a working engine is
    // never kept waiting for a check that could not run.
    return duenoDelPuerto() == Dueno::ajeno ? Sonda::ajeno : Sonda::motor;
}

bool responde(const Globales& g) {
    return sondear(g) == Sonda::motor;
}

std::optional<qint64> abrirVARNO(const Globales& g) {
    QProcess p;
    p.setProgram(g.PYTHON);
    // -I keeps the working folder off the module path, so a stray json.py or
    // motor/ there cannot stand in for the standard library or the installed
    // engine; it also leaves out PYTHON* variables and the user's own packages.
    p.setArguments({QStringLiteral("-I"), QStringLiteral("-m"), QStringLiteral("motor")});
    p.setWorkingDirectory(QDir(g.DATOS).filePath(partes::trabajo));
    p.setProcessEnvironment(entornoDelMotor(QProcessEnvironment::systemEnvironment(), g.BUNDLE));
    // What the engine prints before its own log opens is often the reason it
    // did not open. Where that file cannot be written, the engine still starts.
    const QString salida =
        prepararSalida(salidaDelMotor(g)) ? salidaDelMotor(g) : QProcess::nullDevice();
    p.setStandardOutputFile(salida, QIODevice::Append);
    p.setStandardErrorFile(salida, QIODevice::Append);
    qint64 pid{};
    if (!p.startDetached(&pid))
        return std::nullopt;
    return pid;
}

RegistroMotor registroDelMotor(const Globales& g) {
    if (auto linea = ultimaLinea(g.MESA_LOG))
        return {g.MESA_LOG, linea};
    const QString salida = salidaDelMotor(g);
    QFile f(salida);
    if (f.open(QIODevice::ReadOnly)) {
        // Only the latest start's lines: an older start's reason is not this one's.
        const QByteArray texto = f.readAll();
        const qsizetype marca = texto.lastIndexOf(QByteArray("\n") + MARCA_ARRANQUE);
        if (auto linea = lineaQueCuenta(decodificar(QByteArrayView(texto).sliced(marca + 1))))
            return {salida, linea};
    }
    return {g.MESA_LOG, std::nullopt};
}
