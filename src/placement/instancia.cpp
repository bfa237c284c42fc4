#include "placement/instancia.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int pausaEntreIntentos = 200; // ms
constexpr int plazoConexion = 1000;     // ms
constexpr int plazoRespuesta = 2000;    // ms

// A folder that nobody else can add a name to, so nobody else can take ours first.
bool soloDelUsuario(const QString& carpeta) {
    const QFileInfo i(carpeta);
    return !carpeta.isEmpty() && i.isAbsolute() && i.isDir() && i.ownerId() == ::geteuid() &&
           !(i.permissions() & (QFile::WriteGroup | QFile::WriteOther));
}
} // namespace

Instancia::Instancia(const QString& datos, QObject* parent)
    : QObject(parent)
    , nombre_(nombreDe(datos)) {}

// The server goes before the lock, so that the next owner never finds our socket;
// the file goes while it is still locked, so that nobody holds a lock on a name
// that is gone.
Instancia::~Instancia() {
    delete servidor_;
    if (cerrojo_ >= 0) {
        ::unlink(QFile::encodeName(cerrojo()).constData());
        ::close(cerrojo_);
    }
}

QString Instancia::nombreDe(const QString& datos) {
    // The per-user runtime folder, local and with a short path, as a socket wants;
    // without a sound one, the data folder itself. A shared folder such as /tmp
    // would let another user take both names before us: the toolkit's own checks
    // differ between systems, so ours holds everywhere.
    const QString tiempoDeEjecucion =
        QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!soloDelUsuario(tiempoDeEjecucion))
        return QDir(datos).filePath(QStringLiteral(".instancia"));
    const QByteArray huella =
        QCryptographicHash::hash(QDir::cleanPath(datos).toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    return QDir(tiempoDeEjecucion).filePath(QStringLiteral("varno-") + QString::fromLatin1(huella));
}

Instancia::Toma Instancia::tomar(std::chrono::milliseconds espera) {
    // The data folder may not exist before a first installation.
    QDir().mkpath(QFileInfo(nombre_).absolutePath());
    const QDeadlineTimer limite(espera);
    for (;;) {
        if (cerrar()) {
            escuchar();
            return Toma::propia;
        }
        if (pedirVentana() == Respuesta::mostrada)
            return Toma::entregada;
        if (limite.hasExpired())
            return Toma::ocupada;
        QThread::msleep(pausaEntreIntentos);
    }
}

// The system's own lock on an open file: it goes with the process however
// that ends, so a run killed at any instant never shuts the next one out.
bool Instancia::cerrar() {
    const QByteArray ruta = QFile::encodeName(cerrojo());
    for (;;) {
        const int fd = ::open(ruta.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return true;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool otro = errno == EWOULDBLOCK;
            ::close(fd);
            return !otro;
        }
        // The owner before us may have removed the name just before we locked
        // what it named: only the lock on the file the name leads to counts.
        struct stat abierto {};
        struct stat nombrado {};
        if (::fstat(fd, &abierto) == 0 && ::lstat(ruta.constData(), &nombrado) == 0 &&
            abierto.st_dev == nombrado.st_dev && abierto.st_ino == nombrado.st_ino) {
            cerrojo_ = fd;
            return true;
        }
        ::close(fd);
    }
}

// Connecting is the request; the running instance answers with one byte.
Instancia::Respuesta Instancia::pedirVentana() const {
    QLocalSocket socket;
    socket.connectToServer(nombre_ + QStringLiteral(".sock"), QIODevice::ReadOnly);
    if (!socket.waitForConnected(plazoConexion))
        return Respuesta::ninguna;
    char c = 0;
    if (!socket.waitForReadyRead(plazoRespuesta) || !socket.getChar(&c))
        return Respuesta::ninguna;
    return c == '1' ? Respuesta::mostrada : Respuesta::sinVentana;
}

void Instancia::escuchar() {
    const QString ruta = nombre_ + QStringLiteral(".sock");
    // Left by a run that died; holding the lock, we know nobody listens there.
    QLocalServer::removeServer(ruta);
    servidor_ = new QLocalServer(this);
    servidor_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!servidor_->listen(ruta)) {
        delete servidor_;
        servidor_ = nullptr;
        return;
    }
    connect(servidor_, &QLocalServer::newConnection, this, &Instancia::atender);
}

void Instancia::atender() {
    while (QLocalSocket* socket = servidor_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        bool mostrada = false;
        emit ventanaPedida(&mostrada);
        // An asker that has already gone is no failure of ours: the answer is
        // dropped with the socket.
        socket->write(mostrada ? "1" : "0", 1);
        socket->disconnectFromServer();
    }
}
