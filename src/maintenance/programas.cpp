#include "maintenance/programas.h"
#include "base/proceso.h"
#include "base/texto.h"
#include "engine/motor.h"
#include "engine/partes.h"
#include "maintenance/confinamiento.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const Parte PYTHON{Parte::Tipo::python}, FFMPEG{Parte::Tipo::ffmpeg};
const QString NO_EJECUTABLE = QStringLiteral("no es ejecutable");
const QString NO_ARRANCA = QStringLiteral("no arranca");

// A program of the runtime run as the engine runs: without a shell, with the
// engine's environment, from DATOS/app. Its output when it ended by itself
// with status 0; nothing when not, when it outlived its time or when `parar`
// was set meanwhile.
std::optional<QString> correrComoElMotor(const Globales& g, const QString& programa,
                                         const QStringList& argumentos,
                                         const std::atomic<bool>& parar) {
    const Corrida c =
        correr(programa, argumentos,
               {.carpeta = QDir(g.DATOS).filePath(partes::trabajo),
                .entorno = entornoDelMotor(QProcessEnvironment::systemEnvironment(), g.BUNDLE),
                .parar = &parar});
    if (!c.bien())
        return std::nullopt;
    return c.salida.trimmed();
}

const QStringList ARGUMENTOS_PYTHON = {
    QStringLiteral("-I"), QStringLiteral("-c"),
    QStringLiteral("import sys; print('%d.%d.%d' % sys.version_info[:3])")};

// "ffmpeg version n7.1-static Copyright…" gives "7.1".
QString versionDeFfmpeg(const QString& salida) {
    const QStringList palabras = salida.section(u'\n', 0, 0).split(u' ', Qt::SkipEmptyParts);
    const qsizetype i = palabras.indexOf(QStringLiteral("version"));
    if (i < 0 || i + 1 >= palabras.size())
        return {};
    QString v = palabras[i + 1].section(u'-', 0, 0);
    if (v.size() > 1 && v[0] == u'n' && v[1].isDigit())
        v.remove(0, 1);
    return v;
}

const QStringList COMPROBAR_MOTOR = {QStringLiteral("-I"), QStringLiteral("-m"),
                                     QStringLiteral("motor"), QStringLiteral("--comprobar")};

} // namespace

void probarProgramas(const Globales& g, const std::atomic<bool>& parar,
                     QList<Problema>& problemas) {
    const QString relativa = QDir(g.DATOS).relativeFilePath(g.PYTHON);
    const QFileInfo python(g.PYTHON);
    // Both are started from there, as the engine is: without it neither could run.
    if (!QFileInfo(QDir(g.DATOS).filePath(partes::trabajo)).isDir())
        return problemas.append({PYTHON, partes::trabajo, QStringLiteral("falta")});
    if (!python.exists())
        problemas.append({PYTHON, relativa, QStringLiteral("falta")});
    else if (!python.isFile() || !python.isExecutable())
        problemas.append({PYTHON, relativa, NO_EJECUTABLE});
    else if (!correrComoElMotor(g, g.PYTHON, ARGUMENTOS_PYTHON, parar)) {
        if (!parar)
            problemas.append({PYTHON, relativa, NO_ARRANCA});
    } else if (!correrComoElMotor(g, g.PYTHON, COMPROBAR_MOTOR, parar) && !parar) {
        // Sound files are not enough: the engine must load with them, from
        // where it runs, as the installer checked at its end.
        problemas.append({{Parte::Tipo::biblioteca, QStringLiteral("varno-motor"), g.VERSION},
                          QString(),
                          QStringLiteral("no se puede cargar")});
    }

    // Linux without a system ffmpeg goes without one; the manifest says whether one belongs.
    const QString ffmpeg = QDir(g.DATOS).filePath(partes::ffmpeg);
    const QFileInfo f(ffmpeg);
    struct stat st;
    if (::lstat(QFile::encodeName(ffmpeg).constData(), &st) != 0 || parar)
        return;
    if (f.exists() && (!f.isFile() || !f.isExecutable()))
        problemas.append({FFMPEG, partes::ffmpeg, NO_EJECUTABLE});
    else if (!correrComoElMotor(g, ffmpeg, {QStringLiteral("-version")}, parar) && !parar)
        problemas.append({FFMPEG, partes::ffmpeg, NO_ARRANCA});
}

Instalado describir(const Globales& g) {
    Instalado i;
    const std::atomic<bool> nunca{false};
    const Confinamiento c(g.DATOS);
    const QString raiz = c.datos();
    QByteArray texto;
    if (c.leer(partes::marca.toUtf8(), {}, texto, 4096) == Confinamiento::Estado::bien)
        i.version = decodificar(texto).trimmed();
    i.python = correrComoElMotor(g, g.PYTHON, ARGUMENTOS_PYTHON, nunca).value_or(QString());
    const QString ffmpeg = QDir(g.DATOS).filePath(partes::ffmpeg);
    if (QFileInfo(ffmpeg).isExecutable())
        if (auto salida = correrComoElMotor(g, ffmpeg, {QStringLiteral("-version")}, nunca))
            i.ffmpeg = versionDeFfmpeg(*salida);
    for (const QByteArray& sitio : sitePackages(c))
        i.bibliotecas += int(QDir(raiz + u'/' + QString::fromUtf8(sitio))
                                 .entryList({QStringLiteral("*.dist-info")}, QDir::Dirs)
                                 .size());
    // What removing the runtime frees, counted as the removal counts it.
    i.bytes = tamanoDelMotor(g);
    return i;
}
