#include "placement/copia.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;

std::error_code errorDelSistema() {
    return {errno, std::generic_category()};
}

// A file's bytes and mode. Read and written here, not by the standard library,
// whose copy on Linux tells a disk that filled up midway as a generic I/O error.
std::error_code copiarArchivo(const fs::path& desde, const fs::path& hacia, fs::perms modo,
                              std::vector<char>& bloque) {
    const int de = ::open(desde.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (de < 0)
        return errorDelSistema();
    std::error_code e;
    const int a = ::open(hacia.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (a < 0)
        e = errorDelSistema();
    for (ssize_t n; !e && (n = ::read(de, bloque.data(), bloque.size())) != 0;) {
        if (n < 0 && errno != EINTR)
            e = errorDelSistema();
        for (ssize_t hecho = 0; !e && hecho < n;) {
            const ssize_t w = ::write(a, bloque.data() + hecho, size_t(n - hecho));
            if (w >= 0)
                hecho += w;
            else if (errno != EINTR)
                e = errorDelSistema();
        }
    }
    if (!e && ::fchmod(a, mode_t(modo)) != 0)
        e = errorDelSistema();
    if (a >= 0 && ::close(a) != 0 && !e) // a network disk may tell only now
        e = errorDelSistema();
    ::close(de);
    return e;
}

// One buffer serves every file of the tree.
std::error_code copiar(const fs::path& desde, const fs::path& hacia, std::vector<char>& bloque) {
    std::error_code e;
    const fs::file_status origen = fs::status(desde, e);
    if (e)
        return e;
    if (!fs::is_directory(origen))
        return std::make_error_code(std::errc::not_a_directory);
    if (::mkdir(hacia.c_str(), 0700) != 0)
        return errorDelSistema();
    // A folder that cannot be read (the privacy protection of Downloads, say)
    // is an error here, never an empty copy.
    for (fs::directory_iterator i(desde, e), fin; !e && i != fin; i.increment(e)) {
        const fs::path a = hacia / i->path().filename();
        const fs::file_status estado = i->symlink_status(e);
        const fs::file_type tipo = estado.type();
        if (e)
            break;
        // The link's own text, so that relative links inside the bundle stay relative.
        if (tipo == fs::file_type::symlink)
            fs::copy_symlink(i->path(), a, e);
        else if (tipo == fs::file_type::directory)
            e = copiar(i->path(), a, bloque);
        else if (tipo == fs::file_type::regular)
            e = copiarArchivo(i->path(), a, estado.permissions(), bloque);
        // Sockets and pipes have no place in a bundle, and reading a pipe would block.
        if (e)
            break;
    }
    // Set last, so that a read-only folder could still be filled.
    if (!e)
        fs::permissions(hacia, origen.permissions(), e);
    return e;
}

} // namespace

std::error_code copiarArbol(const QString& desde, const QString& hacia) {
    std::vector<char> bloque(1 << 20);
    return copiar(QFile::encodeName(desde).toStdString(), QFile::encodeName(hacia).toStdString(),
                  bloque);
}

// What the system said, in the words it uses in Spanish.
QString motivoDelSistema(const std::error_code& e) {
    static const std::pair<int, const char*> dichos[] = {
        {ENOSPC, "no queda espacio en el disco"}, {EDQUOT, "se ha excedido la cuota de disco"},
        {EROFS, "el disco es de solo lectura"},   {EACCES, "permiso denegado"},
        {EPERM, "operación no permitida"},        {ENOENT, "no existe el archivo o la carpeta"},
        {EIO, "error de entrada/salida"},
    };
    for (const auto& [numero, dicho] : dichos)
        if (e.value() == numero)
            return QString::fromUtf8(dicho);
    return QString::fromLocal8Bit(e.message());
}
