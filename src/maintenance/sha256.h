#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>

// The SHA-256 of a file, read in large blocks with the system's accelerated
// implementation (libcrypto, CommonCrypto on Apple).
struct SumaArchivo {
    enum Fallo { ninguno, falta, ilegible, parada };
    Fallo fallo = ninguno;
    QByteArray digest; // 32 bytes when nothing failed
    qint64 bytes = 0;  // read
};

// Only a regular file is read: a directory, a FIFO or a device in its place
// is `ilegible`, and the file is opened without waiting on it and without
// following a symbolic link at its last step. `parar` is looked at between
// blocks; `leidos` hears of each block read.
SumaArchivo sha256DeArchivo(const QString& ruta, const std::atomic<bool>& parar,
                            const std::function<void(qint64)>& leidos = {});
// The same, from a file already opened; `fd` stays open.
SumaArchivo sha256DeDescriptor(int fd, const std::atomic<bool>& parar,
                               const std::function<void(qint64)>& leidos = {});
