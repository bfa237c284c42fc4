#include "comun/comun.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace pruebas {

QString bundle() {
    return QStringLiteral(VARNO_BUNDLE_PRUEBA);
}
QString ejecutable() {
    return bundle() + QStringLiteral("/Contents/MacOS/VARNO");
}
QString datos(const QString& nombre) {
    return QStringLiteral(VARNO_DATOS_PRUEBA "/") + nombre;
}

void escribir(const QString& ruta, const QByteArray& contenido, bool ejecutable) {
    QDir().mkpath(QFileInfo(ruta).absolutePath());
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("no se pudo escribir %s", qPrintable(ruta));
    f.write(contenido);
    f.close();
    if (ejecutable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                         QFileDevice::ExeOther);
}

QByteArray leer(const QString& ruta) {
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool esperarHasta(const std::function<bool()>& listo, std::chrono::milliseconds limite) {
    QDeadlineTimer plazo(limite);
    while (!listo()) {
        if (plazo.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

Globales Casa::globales(const QString& version) const {
    const QString recursos = dir.path() + QStringLiteral("/recursos");
    escribir(recursos + QStringLiteral("/version.txt"), version.toUtf8() + '\n');
    return calcularGlobales(home(), recursos, dir.path() + QStringLiteral("/VARNO.app"),
                            ejecutable());
}

} // namespace pruebas
