#include "placement/instancia.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
constexpr int pausaEntreIntentos = 200; // ms

// Opened sockets must not leak into the installer or the engine.
int nuevoSocket() {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd >= 0)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
}

bool direccion(const QString& ruta, sockaddr_un& d) {
    const QByteArray nativa = QFile::encodeName(ruta);
    std::memset(&d, 0, sizeof d);
    d.sun_family = AF_UNIX;
    if (static_cast<size_t>(nativa.size()) >= sizeof d.sun_path)
        return false;
    std::memcpy(d.sun_path, nativa.constData(), static_cast<size_t>(nativa.size()));
    return true;
}

void plazo(int fd, int opcion, int milisegundos) {
    timeval t{};
    t.tv_sec = milisegundos / 1000;
    t.tv_usec = (milisegundos % 1000) * 1000;
    ::setsockopt(fd, SOL_SOCKET, opcion, &t, sizeof t);
}

// An asker that has already gone must not kill us with SIGPIPE.
void enviar(int fd, char c) {
#ifdef MSG_NOSIGNAL
    ::send(fd, &c, 1, MSG_NOSIGNAL);
#else
    const int si = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &si, sizeof si);
    ::send(fd, &c, 1, 0);
#endif
}
} // namespace

Instancia::Instancia(const QString& datos, QObject* parent)
    : QObject(parent)
    , nombre_(nombreDe(datos))
    , cerrojo_(nombre_ + QStringLiteral(".lock")) {
    // Held for the whole run, however long: only an owner that died frees it.
    cerrojo_.setStaleLockTime(0);
}

Instancia::~Instancia() {
    if (oyente_ < 0)
        return;
    delete aviso_;
    ::close(oyente_);
    // Before the lock goes, so that the next owner never finds our socket.
    QFile::remove(nombre_ + QStringLiteral(".sock"));
}

QString Instancia::nombreDe(const QString& datos) {
    // The per-user runtime folder where there is one: nobody else can write there.
    QString carpeta = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (carpeta.isEmpty() || !QFileInfo(carpeta).isDir())
        carpeta = QDir::tempPath();
    const QByteArray huella =
        QCryptographicHash::hash(QDir::cleanPath(datos).toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    return QDir(carpeta).filePath(QStringLiteral("varno-") + QString::fromLatin1(huella));
}

bool Instancia::tomar(std::chrono::milliseconds espera) {
    const QDeadlineTimer limite(espera);
    for (;;) {
        if (cerrojo_.tryLock(0)) {
            escuchar();
            return true;
        }
        // Without a place for the lock there is nobody to coordinate with.
        if (cerrojo_.error() != QLockFile::LockFailedError)
            return true;
        if (pedirVentana() == Respuesta::mostrada || limite.hasExpired())
            return false;
        if (cerrojo_.tryLock(pausaEntreIntentos)) {
            escuchar();
            return true;
        }
    }
}

// Connecting is the request; the running instance answers with one byte.
Instancia::Respuesta Instancia::pedirVentana() const {
    sockaddr_un d{};
    if (!direccion(nombre_ + QStringLiteral(".sock"), d))
        return Respuesta::ninguna;
    const int fd = nuevoSocket();
    if (fd < 0)
        return Respuesta::ninguna;
    plazo(fd, SO_SNDTIMEO, 1000);
    plazo(fd, SO_RCVTIMEO, 2000);
    char c = 0;
    const bool hubo = ::connect(fd, reinterpret_cast<const sockaddr*>(&d), sizeof d) == 0 &&
                      ::recv(fd, &c, 1, 0) == 1;
    ::close(fd);
    if (!hubo)
        return Respuesta::ninguna;
    return c == '1' ? Respuesta::mostrada : Respuesta::sinVentana;
}

void Instancia::escuchar() {
    const QString ruta = nombre_ + QStringLiteral(".sock");
    sockaddr_un d{};
    if (!direccion(ruta, d))
        return;
    // Left by a run that died; holding the lock, we know nobody listens there.
    QFile::remove(ruta);
    const int fd = nuevoSocket();
    if (fd < 0)
        return;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&d), sizeof d) != 0 ||
        ::chmod(d.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return;
    }
    oyente_ = fd;
    aviso_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(aviso_, &QSocketNotifier::activated, this, &Instancia::atender);
}

void Instancia::atender() {
    const int fd = ::accept(oyente_, nullptr, nullptr);
    if (fd < 0)
        return;
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    const bool mostrada = alPedirVentana && alPedirVentana();
    enviar(fd, mostrada ? '1' : '0');
    ::close(fd);
}
