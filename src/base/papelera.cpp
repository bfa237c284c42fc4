#include "base/papelera.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef Q_OS_MACOS
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_MACOS

bool aLaPapelera(const QString& ruta) {
    return QFile::moveToTrash(ruta);
}

#else

namespace {
// A folder of the Trash, made private when it is new; never a link, nor
// another user's (on a shared disk, someone else could make ours first).
bool carpeta(const QByteArray& ruta) {
    struct stat s {};
    return (::mkdir(ruta.constData(), 0700) == 0 || errno == EEXIST) &&
           ::lstat(ruta.constData(), &s) == 0 && S_ISDIR(s.st_mode) && s.st_uid == ::geteuid();
}

// One rename that never takes the place of something already there.
bool renombrarSinPisar(const QByteArray& de, const QByteArray& a) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, de.constData(), AT_FDCWD, a.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL) // a file system that cannot promise it
        return false;
#endif
    struct stat s {};
    if (::lstat(a.constData(), &s) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(de.constData(), a.constData()) == 0;
}
// The folder a file system is mounted on, going up from `ruta` while the
// folders stay on `disco`.
QByteArray raizDelDisco(QByteArray ruta, dev_t disco) {
    for (;;) {
        const qsizetype barra = ruta.lastIndexOf('/');
        const QByteArray padre = barra > 0 ? ruta.left(barra) : QByteArray("/");
        struct stat s {};
        if (padre == ruta || ::stat(padre.constData(), &s) != 0 || s.st_dev != disco)
            return ruta;
        ruta = padre;
    }
}
} // namespace

// The Trash as freedesktop.org describes it (the home one, or a disk's own for
// what lies on another disk than the home folder), done here because the
// toolkit's, when the home Trash is unusable, reports success after moving
// the item into the working directory. The note is written first and the item
// then renamed into place: a stop in between leaves only a note that names
// nothing, which file managers ignore.
bool aLaPapelera(const QString& ruta) {
    const QByteArray origen = QFile::encodeName(QFileInfo(ruta).absoluteFilePath());
    struct stat s {};
    struct stat casa {};
    struct stat destino {};
    if (::lstat(origen.constData(), &s) != 0)
        return false;
    QByteArray papelera;
    if (::stat(QFile::encodeName(QDir::homePath()).constData(), &casa) == 0 &&
        casa.st_dev != s.st_dev) {
        papelera = raizDelDisco(origen, s.st_dev) + "/.Trash-" + QByteArray::number(::geteuid());
    } else {
        // The data folder may not exist yet on a new account.
        const QString datos = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (datos.isEmpty() || !QDir().mkpath(datos))
            return false;
        papelera = QFile::encodeName(datos + QStringLiteral("/Trash"));
    }
    if (!carpeta(papelera) || !carpeta(papelera + "/files") || !carpeta(papelera + "/info") ||
        ::stat((papelera + "/files").constData(), &destino) != 0 || destino.st_dev != s.st_dev)
        return false;

    const QByteArray nota =
        "[Trash Info]\nPath=" + origen.toPercentEncoding("/") +
        "\nDeletionDate=" + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + '\n';
    const QString nombre = QFileInfo(ruta).fileName();
    for (int n = 1; n < 10000; ++n) {
        const QByteArray propio =
            QFile::encodeName(n == 1 ? nombre : QStringLiteral("%1 %2").arg(nombre).arg(n));
        const QByteArray info = papelera + "/info/" + propio + ".trashinfo";
        const int fd = ::open(info.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        const bool escrita = ::write(fd, nota.constData(), size_t(nota.size())) == nota.size();
        ::close(fd);
        if (escrita && renombrarSinPisar(origen, papelera + "/files/" + propio))
            return true;
        const int motivo = errno;
        ::unlink(info.constData());
        // Only a name taken in files/ is worth another try.
        if (!escrita || motivo != EEXIST)
            return false;
    }
    return false;
}

#endif
