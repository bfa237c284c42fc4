#include "comun/comun.h"

namespace pruebas {

void escribir(const QString& ruta, const QByteArray& contenido, bool ejecutable) {
    QDir().mkpath(QFileInfo(ruta).absolutePath());
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("no se pudo escribir %s", qPrintable(ruta));
    f.write(contenido);
    if (ejecutable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                         QFileDevice::ExeOther);
}

QByteArray leer(const QString& ruta) {
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool esperarHasta(const std::function<bool()>& listo, std::chrono::milliseconds limite) {
    for (QDeadlineTimer plazo(limite); !listo(); QThread::msleep(2)) {
        if (plazo.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void tecla(QWidget* w, int clave) {
    QWidget* destino = QApplication::focusWidget() ? QApplication::focusWidget() : w->window();
    QKeyEvent pulsada(QEvent::KeyPress, clave, Qt::NoModifier);
    QCoreApplication::sendEvent(destino, &pulsada);
    QKeyEvent soltada(QEvent::KeyRelease, clave, Qt::NoModifier);
    QCoreApplication::sendEvent(destino, &soltada);
}

void responder(QTimer& reloj, const QVariant& respuesta) {
    QObject::connect(&reloj, &QTimer::timeout, [respuesta] {
        auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (caja && respuesta.typeId() == QMetaType::Int)
            tecla(caja, respuesta.toInt());
        for (QAbstractButton* b : caja ? caja->buttons() : QList<QAbstractButton*>{})
            if (b->text() == respuesta.toString())
                b->click();
    });
    reloj.start(10);
}

Puerto::Puerto(const QByteArray& respuesta, std::chrono::milliseconds retraso) {
    if (!esperarHasta([this] { return listen(QHostAddress::LocalHost, 8770); }))
        qFatal("el puerto 8770 sigue ocupado");
    connect(this, &QTcpServer::newConnection, [=, this] {
        while (QTcpSocket* s = nextPendingConnection()) { // its child
            const auto responder = [=] { s->write(respuesta), s->disconnectFromHost(); };
            connect(
                s, &QTcpSocket::readyRead, s, [=] { QTimer::singleShot(retraso, s, responder); },
                Qt::SingleShotConnection);
        }
    });
}

QByteArray http(int estado, const QByteArray& cuerpo) {
    return "HTTP/1.1 " + QByteArray::number(estado) +
           " X\r\nContent-Length: " + QByteArray::number(cuerpo.size()) + "\r\n\r\n" + cuerpo;
}

Globales Casa::globales(const QString& version, const QString& bundle) const {
    const QString recursos = dir.path() + QStringLiteral("/recursos");
    escribir(recursos + QStringLiteral("/version.txt"), version.toUtf8() + '\n');
    return calcularGlobales(home(), recursos,
                            bundle.isEmpty() ? dir.path() + QStringLiteral("/VARNO.app") : bundle,
                            ejecutable());
}

} // namespace pruebas
