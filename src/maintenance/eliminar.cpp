#include "maintenance/mantenimiento.h"

#include "base/archivos.h"
#include "base/papelera.h"
#include "engine/motor.h"
#include "engine/partes.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <fts.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Every part of the runtime is gathered here before the Trash takes them as
// one: a rename within the same folder is all or nothing, a move to the Trash
// may not be. Its name is what the user sees in the Trash.
const QString carpetaAparte = QStringLiteral("Motor de VARNO");

const auto todas = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

// Space on disk, links not followed and a file with several names counted
// once. One lstat per entry, and only files with several names remembered: a
// runtime holds a hundred thousand files or more, and the maintenance screen
// waits for this.
qint64 tamanoDe(const QString& datos, const QStringList& partes) {
    if (partes.isEmpty())
        return 0;
    std::vector<QByteArray> rutas;
    std::vector<char*> argumentos;
    for (const QString& p : partes)
        rutas.push_back(QFile::encodeName(datos + QLatin1Char('/') + p));
    for (QByteArray& r : rutas)
        argumentos.push_back(r.data());
    argumentos.push_back(nullptr);
    FTS* arbol = ::fts_open(argumentos.data(), FTS_PHYSICAL | FTS_NOCHDIR, nullptr);
    if (!arbol)
        return 0;
    std::set<std::pair<dev_t, ino_t>> vistos;
    qint64 bytes = 0;
    while (const FTSENT* e = ::fts_read(arbol)) {
        // A folder is counted on the way in; one that cannot be stat'ed is not.
        if (e->fts_info == FTS_DP || e->fts_info == FTS_NS || e->fts_info == FTS_ERR)
            continue;
        const struct stat& s = *e->fts_statp;
        if (s.st_nlink > 1 && !S_ISDIR(s.st_mode) && !vistos.insert({s.st_dev, s.st_ino}).second)
            continue;
        bytes += qint64(s.st_blocks) * 512;
    }
    ::fts_close(arbol);
    return bytes;
}

// Only a folder a removal made is ever emptied back into DATOS: a real folder
// of ours (a link to the user's Documents is not), holding nothing but parts
// of the runtime.
bool hechaPorUnaEliminacion(const QString& aparte) {
    struct stat s {};
    if (::lstat(QFile::encodeName(aparte).constData(), &s) != 0 || !S_ISDIR(s.st_mode) ||
        s.st_uid != ::geteuid())
        return false;
    const QStringList dentro = QDir(aparte).entryList(todas);
    return std::all_of(dentro.begin(), dentro.end(), partes::esParte);
}

// Each part set aside goes back where it was, unless its place is taken.
// Whether all went back (the emptied folder is removed).
bool devolverPartes(const QString& datos, const QString& aparte) {
    bool todasVuelven = true;
    for (const QString& p : QDir(aparte).entryList(todas)) {
        const QString destino = datos + QLatin1Char('/') + p;
        todasVuelven = !hayAlgo(destino) && QDir().rename(aparte + QLatin1Char('/') + p, destino) &&
                       todasVuelven;
    }
    return todasVuelven && QDir(datos).rmdir(carpetaAparte);
}

// A link of the user's in DATOS (app, a log, anything below them) that leads
// into a part of the runtime: the Trash would take what it leads to with the
// part. The link and where it leads, relative to DATOS.
std::optional<std::pair<QString, QString>> enlaceAlMotor(const QString& datos,
                                                         const QStringList& partes) {
    const QString raiz = QFileInfo(datos).canonicalFilePath();
    QStringList dentro; // the parts that are folders or files of their own, not links
    for (const QString& p : partes)
        if (!QFileInfo(datos + QLatin1Char('/') + p).isSymLink())
            dentro << raiz + QLatin1Char('/') + p;
    const auto lleva = [&](const QString& enlace) -> std::optional<std::pair<QString, QString>> {
        const QString destino = QFileInfo(enlace).canonicalFilePath();
        for (const QString& parte : dentro)
            if (destino == parte || destino.startsWith(parte + QLatin1Char('/')))
                return std::pair(QDir(datos).relativeFilePath(enlace),
                                 QDir(raiz).relativeFilePath(destino));
        return std::nullopt;
    };
    for (const QFileInfo& del : QDir(datos).entryInfoList(todas)) {
        if (partes.contains(del.fileName()))
            continue;
        if (del.isSymLink()) {
            if (auto l = lleva(del.filePath()))
                return l;
            continue;
        }
        if (del.isDir())
            for (QDirIterator i(del.filePath(), todas, QDirIterator::Subdirectories); i.hasNext();)
                if (const QFileInfo f = i.nextFileInfo(); f.isSymLink())
                    if (auto l = lleva(f.filePath()))
                        return l;
    }
    return std::nullopt;
}

Resultado<qint64> fallo(const QString& motivo) {
    return Resultado<qint64>::fallo(
        QStringLiteral("No se pudo llevar el motor a la Papelera: %1.").arg(motivo));
}

} // namespace

qint64 tamanoDelMotor(const Globales& g) {
    return tamanoDe(g.DATOS, partes::presentes(g));
}

bool recuperarEliminacion(const Globales& g) {
    const QString aparte = g.DATOS + QLatin1Char('/') + carpetaAparte;
    if (!hechaPorUnaEliminacion(aparte) || devolverPartes(g.DATOS, aparte))
        return true;
    // What is left has a newer copy in its place: the older one the user
    // asked to remove goes to the Trash after all, or stays where it is.
    return aLaPapelera(aparte);
}

Resultado<qint64> eliminarMotor(const Globales& g) {
    const QString& datos = g.DATOS;
    const QString aparte = datos + QLatin1Char('/') + carpetaAparte;
    if (!recuperarEliminacion(g))
        return fallo(QStringLiteral("quedó a medias una eliminación anterior en %1").arg(aparte));
    if (hayAlgo(aparte))
        return fallo(QStringLiteral("%1 ya existe y no es de VARNO").arg(carpetaAparte));

    const QStringList suyas = partes::presentes(g);
    if (suyas.isEmpty())
        return 0;
    if (const auto enlace = enlaceAlMotor(datos, suyas))
        return fallo(QStringLiteral("%1 lleva a %2, que es parte del motor")
                         .arg(enlace->first, enlace->second));
    const qint64 bytes = tamanoDe(datos, suyas);

    if (!QDir(datos).mkdir(carpetaAparte))
        return fallo(QStringLiteral("no se puede escribir en %1").arg(datos));
    for (const QString& p : suyas) {
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
    return bytes;
}

Resultado<qint64> eliminarMotorCerrado(const Globales& g) {
    if (responde(g))
        return Resultado<qint64>::fallo(
            QStringLiteral("VARNO está abierto: ciérralo antes de eliminar el motor."));
    return eliminarMotor(g);
}
