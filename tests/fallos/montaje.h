#pragma once

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/mount.h>
#include <utility>

namespace fallos {

// A mount for the length of a test. Read-only folders and full disks need
// one: the tests run as root in CI, and root writes through file modes.
class Montaje {
public:
    Montaje(const QString& punto, const char* fuente, const char* tipo, unsigned long banderas,
            const char* datos = nullptr)
        : punto_(QFile::encodeName(punto)) {
        montado_ = ::mount(fuente, punto_.constData(), tipo, banderas, datos) == 0;
        error_ = montado_ ? 0 : errno;
    }
    // `carpeta` bound onto itself, read-only.
    static Montaje soloLectura(const QString& carpeta) {
        Montaje m(carpeta, QFile::encodeName(carpeta).constData(), nullptr, MS_BIND);
        if (m.montado_ && ::mount(nullptr, m.punto_.constData(), nullptr,
                                  MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            m.error_ = errno;
        return m;
    }
    Montaje(Montaje&& otro) noexcept
        : punto_(otro.punto_)
        , montado_(std::exchange(otro.montado_, false))
        , error_(otro.error_) {}
    ~Montaje() {
        if (montado_)
            ::umount2(punto_.constData(), MNT_DETACH);
    }
    bool hecho() const { return montado_ && error_ == 0; }
    std::string motivo() const { return std::strerror(error_); }

private:
    QByteArray punto_;
    bool montado_ = false;
    int error_ = 0;
};

// Detaches every mount below `carpeta`, deepest first: code that moves a
// folder moves the mounts inside it as well.
inline void desmontarBajo(const QString& carpeta) {
    QFile montajes(QStringLiteral("/proc/self/mounts"));
    if (!montajes.open(QIODevice::ReadOnly))
        return;
    QList<QByteArray> puntos;
    for (const QByteArray& linea : montajes.readAll().split('\n')) {
        // The kernel writes blanks and backslashes in octal.
        QByteArray punto = linea.split(' ').value(1);
        for (const char* c : {"\\040", "\\011", "\\012", "\\134"})
            punto.replace(c, QByteArray(1, char(QByteArray(c + 1).toInt(nullptr, 8))));
        if (punto.startsWith(QFile::encodeName(carpeta) + '/'))
            puntos.append(punto);
    }
    std::sort(puntos.begin(), puntos.end(),
              [](const QByteArray& a, const QByteArray& b) { return a.size() > b.size(); });
    for (const QByteArray& p : puntos)
        ::umount2(p.constData(), MNT_DETACH);
}

} // namespace fallos

// Where mounting is not permitted, the test cannot make its fault: it is skipped.
#define MONTAR_O_SALTAR(m)                                                                         \
    if (!(m).hecho())                                                                              \
    GTEST_SKIP() << "no se puede montar aquí: " << (m).motivo()
