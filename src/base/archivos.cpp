#include "base/archivos.h"

#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>

bool hayAlgo(const QString& ruta) {
    struct stat s {};
    return ::lstat(QFile::encodeName(ruta).constData(), &s) == 0;
}

Resultado<> escribirEntero(const QString& ruta, const QByteArray& bytes) {
    QSaveFile nuevo(ruta);
    // Flushed before the commit, which would otherwise put an empty file in
    // place of the earlier one when only the flush meets a full disk.
    if (nuevo.open(QIODevice::WriteOnly) && nuevo.write(bytes) == bytes.size() && nuevo.flush() &&
        nuevo.commit())
        return {};
    const QString motivo = nuevo.errorString();
    nuevo.cancelWriting();
    QFile enSuSitio(ruta);
    if (enSuSitio.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        enSuSitio.write(bytes) == bytes.size() && enSuSitio.flush())
        return {};
    return Resultado<>::fallo(motivo);
}
