#include "maintenance/mantenimiento.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <set>
#include <sys/stat.h>
#include <utility>

namespace {

// Every part of the runtime is gathered here before the Trash takes them as
// one: a rename within the same folder is all or nothing, a move to the Trash
// may not be. Its name is what the user sees in the Trash.
const QString carpetaAparte = QStringLiteral("Motor de VARNO");

const auto todas = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

bool hay(const QString& ruta) {
    const QFileInfo i(ruta);
    return i.exists() || i.isSymLink();
}

// What makes up the runtime, relative to DATOS, the marker first so that a
// removal cut short never leaves it claiming the rest. Everything else there
// (the engine's working folder DATOS/app, the logs) is the user's and stays.
QStringList partesDelMotor(const QString& datos) {
    QStringList partes = {QStringLiteral("instalado.txt"), QStringLiteral("instalado.txt.parcial"),
                          QStringLiteral("python"),        QStringLiteral("python.anterior"),
                          QStringLiteral("bin"),           QStringLiteral("entorno.RECORD"),
                          QStringLiteral(".pasos"),        QStringLiteral("descargas"),
                          QStringLiteral("app.viejo")};
    partes += QDir(datos).entryList({QStringLiteral(".tmp.*")}, todas, QDir::Name);
    QStringList presentes;
    for (const QString& p : partes)
        if (hay(datos + QLatin1Char('/') + p))
            presentes << p;
    return presentes;
}

// Space on disk, links not followed and a file with several names counted once.
qint64 tamanoEnDisco(const QString& ruta, std::set<std::pair<dev_t, ino_t>>& vistos) {
    struct stat s {};
    if (::lstat(QFile::encodeName(ruta).constData(), &s) != 0)
        return 0;
    qint64 total = vistos.insert({s.st_dev, s.st_ino}).second ? qint64(s.st_blocks) * 512 : 0;
    if (S_ISDIR(s.st_mode))
        for (QDirIterator i(ruta, todas); i.hasNext();)
            total += tamanoEnDisco(i.next(), vistos);
    return total;
}

// Each part set aside goes back where it was, unless its place is taken.
// Whether all went back (the emptied folder is removed).
bool devolverPartes(const QString& datos, const QString& aparte) {
    bool todasVuelven = true;
    for (const QString& p : QDir(aparte).entryList(todas)) {
        const QString destino = datos + QLatin1Char('/') + p;
        todasVuelven =
            !hay(destino) && QDir().rename(aparte + QLatin1Char('/') + p, destino) && todasVuelven;
    }
    return todasVuelven && QDir(datos).rmdir(carpetaAparte);
}

// Whether the Trash took it. Without a usable Trash Qt 6.4 on Linux reports
// success after moving it into files/ of the working directory (a location
// relative to it): that move is undone and counts as a refusal.
bool aLaPapelera(const QString& ruta) {
#ifndef Q_OS_MACOS
    // The home Trash lives in the data folder, which Qt does not make: a new
    // account may not have it yet.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
#endif
    QString donde;
    if (!QFile::moveToTrash(ruta, &donde))
        return false;
    if (QDir::isAbsolutePath(donde))
        return true;
    const QFileInfo movida(donde);
    QDir().rename(movida.absoluteFilePath(), ruta);
    QDir carpeta = movida.absoluteDir();
    QFile::remove(carpeta.filePath(QStringLiteral("../info/%1.trashinfo").arg(movida.fileName())));
    carpeta.rmdir(QStringLiteral("../info"));
    carpeta.rmdir(carpeta.absolutePath());
    return false;
}

Eliminacion fallo(const QString& motivo) {
    return {false, 0, QStringLiteral("No se pudo llevar el motor a la Papelera: %1.").arg(motivo)};
}

} // namespace

bool recuperarEliminacion(const Globales& g) {
    const QString aparte = g.DATOS + QLatin1Char('/') + carpetaAparte;
    if (!hay(aparte) || devolverPartes(g.DATOS, aparte))
        return true;
    // What is left has a newer copy in its place: the older one the user
    // asked to remove goes to the Trash after all, or stays where it is.
    return aLaPapelera(aparte);
}

Eliminacion eliminarMotor(const Globales& g) {
    const QString& datos = g.DATOS;
    const QString aparte = datos + QLatin1Char('/') + carpetaAparte;
    if (!recuperarEliminacion(g))
        return fallo(QStringLiteral("quedó a medias una eliminación anterior en %1").arg(aparte));

    const QStringList partes = partesDelMotor(datos);
    if (partes.isEmpty())
        return {true, 0, {}};
    std::set<std::pair<dev_t, ino_t>> vistos;
    qint64 bytes = 0;
    for (const QString& p : partes)
        bytes += tamanoEnDisco(datos + QLatin1Char('/') + p, vistos);

    if (!QDir(datos).mkdir(carpetaAparte))
        return fallo(QStringLiteral("no se puede escribir en %1").arg(datos));
    for (const QString& p : partes) {
        if (!QDir().rename(datos + QLatin1Char('/') + p, aparte + QLatin1Char('/') + p)) {
            devolverPartes(datos, aparte);
            return fallo(QStringLiteral("no se pudo apartar %1").arg(p));
        }
    }
    // Never deleted instead: what the Trash does not take goes back.
    if (!aLaPapelera(aparte)) {
        devolverPartes(datos, aparte);
        return fallo(QStringLiteral("la Papelera no lo admite"));
    }
    return {true, bytes, {}};
}
