#include "maintenance/confinamiento.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int SALTOS_MAXIMOS = 40; // links followed on one path, as the kernel allows

QByteArrayList partesDe(QByteArrayView ruta) {
    QByteArrayList partes;
    for (const QByteArray& p : ruta.toByteArray().split('/'))
        if (!p.isEmpty() && p != ".")
            partes << p;
    return partes;
}

// The target of the link `nombre` in the folder `fd`; nothing when it is not a link.
std::optional<QByteArray> destinoDe(int fd, const QByteArray& nombre) {
    char b[PATH_MAX];
    const ssize_t n = ::readlinkat(fd, nombre.constData(), b, sizeof b);
    return n < 0 ? std::nullopt : std::optional(QByteArray(b, n));
}

int abrirCarpeta(int fd, const QByteArray& nombre) {
    return ::openat(fd, nombre.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

QByteArray limpiarRelativa(QByteArrayView ruta, bool* fuera) {
    QByteArrayList hechas;
    bool sale = ruta.startsWith('/');
    for (const QByteArray& p : partesDe(ruta)) {
        if (p != "..")
            hechas << p;
        else if (hechas.isEmpty())
            sale = true;
        else
            hechas.removeLast();
    }
    if (fuera)
        *fuera = sale;
    return sale ? QByteArray() : hechas.join('/');
}

bool dentroDe(QByteArrayView ruta, QByteArrayView cota) {
    return cota.isEmpty() || ruta == cota ||
           (ruta.startsWith(cota) && ruta.size() > cota.size() && ruta[cota.size()] == '/');
}

Confinamiento::Confinamiento(const QString& datos) {
    char b[PATH_MAX];
    if (!::realpath(QFile::encodeName(datos).constData(), b))
        return;
    datos_ = QFile::decodeName(b);
    partesRaiz_ = partesDe(b);
    raiz_ = ::open(b, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

Confinamiento::~Confinamiento() {
    if (raiz_ >= 0)
        ::close(raiz_);
}

Confinamiento::Abierto Confinamiento::abrir(QByteArrayView relativa, Tipo tipo,
                                            QByteArrayView cota) const {
    Abierto a;
    if (raiz_ < 0) {
        a.estado = Estado::ilegible;
        return a;
    }
    QByteArrayList hechas;
    int actual = raiz_;
    const auto mover = [&](int fd) {
        if (actual != raiz_)
            ::close(actual);
        actual = fd < 0 ? raiz_ : fd;
        return fd >= 0;
    };
    // After "..": the folder above, reached again from DATOS.
    const auto reabrir = [&] {
        mover(raiz_);
        for (const QByteArray& p : hechas)
            if (!mover(abrirCarpeta(actual, p)))
                return false;
        return true;
    };
    const auto fin = [&](Estado e, int fd = -1) {
        mover(raiz_);
        a.donde = hechas.join('/');
        if (e == Estado::bien && !dentroDe(a.donde, cota))
            e = Estado::fuera;
        if (e == Estado::bien)
            a.fd = fd;
        else if (fd >= 0)
            ::close(fd);
        a.estado = e;
        return a;
    };
    std::deque<QByteArray> pendientes;
    for (const QByteArray& p : partesDe(relativa))
        pendientes.push_back(p);
    int saltos = 0;
    bool arriba = false; // climbed since the folder open now: reached again only when needed
    while (!pendientes.empty()) {
        const QByteArray p = pendientes.front();
        pendientes.pop_front();
        if (p == "..") {
            if (hechas.isEmpty())
                return fin(Estado::fuera);
            hechas.removeLast();
            arriba = true;
            continue;
        }
        if (std::exchange(arriba, false) && !reabrir())
            return fin(Estado::ilegible);
        const bool ultima = pendientes.empty();
        std::optional<QByteArray> destino;
        if (ultima && tipo == Tipo::lugar) {
            destino = destinoDe(actual, p);
            if (!destino) {
                hechas << p;
                return fin(Estado::bien);
            }
        } else {
            const bool archivo = ultima && tipo == Tipo::archivo;
            const int fd = archivo ? ::openat(actual, p.constData(),
                                              O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC)
                                   : abrirCarpeta(actual, p);
            const int error = errno;
            if (fd >= 0) {
                hechas << p;
                struct stat st;
                if (archivo && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)))
                    return fin(Estado::ilegible, fd);
                if (ultima)
                    return fin(Estado::bien, fd);
                mover(fd);
                continue;
            }
            destino = destinoDe(actual, p);
            if (!destino) {
                const bool falta = error == ENOENT || (!ultima && error == ENOTDIR);
                if (falta && tipo == Tipo::lugar)
                    return hechas << p, fin(Estado::bien);
                // A link that leads nowhere is there, but cannot be read.
                return fin(falta && saltos == 0 ? Estado::falta : Estado::ilegible);
            }
        }
        // A link: its target takes its place, read from here, never by the system.
        if (++saltos > SALTOS_MAXIMOS)
            return fin(Estado::ilegible);
        QByteArrayList partes = partesDe(*destino);
        if (destino->startsWith('/')) {
            if (partes.mid(0, partesRaiz_.size()) != partesRaiz_)
                return fin(Estado::fuera);
            partes = partes.mid(partesRaiz_.size());
            hechas.clear();
            mover(raiz_);
        }
        for (auto i = partes.rbegin(); i != partes.rend(); ++i)
            pendientes.push_front(*i);
    }
    // The path ended at a folder: DATOS itself, or one above where a link led.
    if (tipo != Tipo::carpeta)
        return fin(tipo == Tipo::archivo ? Estado::ilegible : Estado::bien);
    if (!reabrir())
        return fin(Estado::ilegible);
    return fin(Estado::bien, ::dup(actual));
}

Confinamiento::Estado Confinamiento::leer(QByteArrayView relativa, QByteArrayView cota,
                                          QByteArray& texto, qint64 maximo) const {
    const Abierto a = abrir(relativa, Tipo::archivo, cota);
    if (a.estado != Estado::bien)
        return a.estado;
    QFile f;
    struct stat st;
    if (::fstat(a.fd, &st) != 0 || st.st_size > maximo ||
        !f.open(a.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(a.fd);
        return Estado::ilegible;
    }
    texto = f.read(maximo);
    return f.error() == QFileDevice::NoError ? Estado::bien : Estado::ilegible;
}

QList<Confinamiento::Entrada> Confinamiento::listar(int fd) {
    QList<Entrada> entradas;
    const int copia = ::dup(fd);
    DIR* d = copia < 0 ? nullptr : ::fdopendir(copia);
    if (!d) {
        if (copia >= 0)
            ::close(copia);
        return entradas;
    }
    ::rewinddir(d);
    while (const dirent* e = ::readdir(d)) {
        const QByteArray nombre(e->d_name);
        if (nombre == "." || nombre == "..")
            continue;
        unsigned char tipo = e->d_type;
        struct stat st;
        if (tipo == DT_UNKNOWN && ::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            tipo = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
        entradas.append({nombre, tipo == DT_DIR, tipo == DT_LNK});
    }
    ::closedir(d);
    return entradas;
}

void Confinamiento::recorrerEnlaces(QByteArrayView carpeta, const std::atomic<bool>& parar,
                                    const std::function<void(const QByteArray&)>& enlace) const {
    const Abierto a = abrir(carpeta, Tipo::carpeta);
    if (a.estado != Estado::bien)
        return;
    // One folder open at a time, however deep: each level keeps the names of
    // the folders still to enter, and the way up is "..", checked to be the
    // folder that was come down from.
    struct Nivel {
        QByteArrayList carpetas;
        qsizetype siguiente = 0;
        dev_t dispositivo{};
        ino_t nodo{};
    };
    std::vector<Nivel> pila;
    QByteArrayList camino{a.donde};
    int actual = a.fd;
    const auto entrar = [&] {
        Nivel n;
        struct stat st;
        if (::fstat(actual, &st) == 0)
            n.dispositivo = st.st_dev, n.nodo = st.st_ino;
        for (const Entrada& e : listar(actual)) {
            if (e.enlace)
                enlace((camino + QByteArrayList{e.nombre}).join('/'));
            else if (e.carpeta)
                n.carpetas << e.nombre;
        }
        pila.push_back(std::move(n));
    };
    entrar();
    while (!pila.empty() && !parar) {
        Nivel& n = pila.back();
        if (n.siguiente < n.carpetas.size()) {
            const QByteArray& nombre = n.carpetas[n.siguiente++];
            const int fd = abrirCarpeta(actual, nombre);
            if (fd < 0)
                continue;
            ::close(actual);
            actual = fd;
            camino << nombre;
            entrar();
            continue;
        }
        pila.pop_back();
        if (pila.empty())
            break;
        camino.removeLast();
        const int fd = ::openat(actual, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(actual);
        actual = fd;
        struct stat st;
        if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_dev != pila.back().dispositivo ||
            st.st_ino != pila.back().nodo)
            break; // moved meanwhile: what is left of it is not DATOS's any more
    }
    if (actual >= 0)
        ::close(actual);
}

QByteArrayList sitePackages(const Confinamiento& c) {
    QByteArrayList carpetas;
    const auto carpetasDe = [&c](const QByteArray& ruta, const char* prefijo) {
        QByteArrayList r;
        const Confinamiento::Abierto a = c.abrir(ruta, Confinamiento::Tipo::carpeta, "python");
        if (a.estado != Confinamiento::Estado::bien)
            return r;
        for (const Confinamiento::Entrada& e : Confinamiento::listar(a.fd))
            if ((e.carpeta || e.enlace) && e.nombre.startsWith(prefijo))
                r << a.donde + '/' + e.nombre;
        ::close(a.fd);
        return r;
    };
    for (const QByteArray& lib : carpetasDe("python", "lib"))
        for (const QByteArray& version : carpetasDe(lib, "python3")) {
            const Confinamiento::Abierto a =
                c.abrir(version + "/site-packages", Confinamiento::Tipo::carpeta, "python");
            if (a.estado != Confinamiento::Estado::bien)
                continue;
            ::close(a.fd);
            if (!carpetas.contains(a.donde))
                carpetas << a.donde;
        }
    std::sort(carpetas.begin(), carpetas.end());
    return carpetas;
}
