#include "maintenance/sha256.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#ifdef Q_OS_DARWIN
#include <CommonCrypto/CommonDigest.h>
#else
#include <openssl/evp.h>
#endif

namespace {

// Large enough that a system call and a digest update cost little per byte,
// small enough for several threads and a prompt stop.
constexpr qsizetype BLOQUE = 1 << 20;

#ifdef Q_OS_DARWIN
struct Contexto {
    CC_SHA256_CTX c;
    Contexto() { CC_SHA256_Init(&c); }
    bool sumar(const char* d, qsizetype n) { return CC_SHA256_Update(&c, d, CC_LONG(n)) == 1; }
    QByteArray final() {
        QByteArray r(CC_SHA256_DIGEST_LENGTH, Qt::Uninitialized);
        CC_SHA256_Final(reinterpret_cast<unsigned char*>(r.data()), &c);
        return r;
    }
};
#else
struct Contexto {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> c{EVP_MD_CTX_new(), EVP_MD_CTX_free};
    bool bien = c && EVP_DigestInit_ex(c.get(), EVP_sha256(), nullptr) == 1;
    bool sumar(const char* d, qsizetype n) {
        return bien && EVP_DigestUpdate(c.get(), d, size_t(n)) == 1;
    }
    QByteArray final() {
        QByteArray r(32, Qt::Uninitialized);
        unsigned int n = 0;
        if (!bien ||
            EVP_DigestFinal_ex(c.get(), reinterpret_cast<unsigned char*>(r.data()), &n) != 1)
            return {};
        return r;
    }
};
#endif

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

SumaArchivo sha256DeArchivo(const QString& ruta, const std::atomic<bool>& parar,
                            const std::function<void(qint64)>& leidos) {
    const Descriptor d{::open(QFile::encodeName(ruta).constData(),
                              O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC)};
    if (d.fd < 0) {
        SumaArchivo s;
        s.fallo = errno == ENOENT ? SumaArchivo::falta : SumaArchivo::ilegible;
        return s;
    }
    return sha256DeDescriptor(d.fd, parar, leidos);
}

SumaArchivo sha256DeDescriptor(int fd, const std::atomic<bool>& parar,
                               const std::function<void(qint64)>& leidos) {
    SumaArchivo s;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        s.fallo = SumaArchivo::ilegible;
        return s;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    Contexto contexto;
    // One block per thread for its whole life: thousands of small files
    // would otherwise each map and unmap a fresh megabyte.
    static thread_local const std::unique_ptr<char[]> bloque(new char[BLOQUE]);
    for (;;) {
        if (parar.load(std::memory_order_relaxed)) {
            s.fallo = SumaArchivo::parada;
            return s;
        }
        const ssize_t n = ::read(fd, bloque.get(), BLOQUE);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || !contexto.sumar(bloque.get(), n)) {
            // Gone or cut short under us (a vanished network file, a disk error).
            s.fallo = SumaArchivo::ilegible;
            return s;
        }
        if (n == 0)
            break;
        s.bytes += n;
        if (leidos)
            leidos(n);
    }
    s.digest = contexto.final();
    if (s.digest.isEmpty())
        s.fallo = SumaArchivo::ilegible;
    return s;
}
