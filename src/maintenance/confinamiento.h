#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <atomic>
#include <functional>

// Files of the runtime reached only from DATOS's own descriptor, one part of
// the path at a time, each opened without following a link (folders also
// only as folders). A link on the way is read and followed here, part by
// part, only while it stays inside DATOS: so nothing on the way, however it
// changes meanwhile, can lead a read outside.
class Confinamiento {
public:
    explicit Confinamiento(const QString& datos);
    ~Confinamiento();
    Confinamiento(const Confinamiento&) = delete;
    Confinamiento& operator=(const Confinamiento&) = delete;

    enum class Estado { bien, falta, ilegible, fuera };
    enum class Tipo { archivo, carpeta, lugar };
    struct Abierto {
        Estado estado = Estado::falta;
        int fd = -1;      // the caller's to close; none for `lugar`
        QByteArray donde; // where it led, relative to DATOS, links followed
    };
    // `relativa` is relative to DATOS with '/' between parts. A regular file
    // (`archivo`, opened without waiting, so a FIFO cannot hang it) or a
    // folder, which must end inside `cota` (a folder relative to DATOS, empty
    // for all of it). `lugar` opens nothing at the end: only where the path
    // leads, a link at its end followed (what does not exist is `bien`).
    Abierto abrir(QByteArrayView relativa, Tipo tipo, QByteArrayView cota = {}) const;

    // A small file read whole, when it is a regular file inside `cota` of at
    // most `maximo` bytes.
    Estado leer(QByteArrayView relativa, QByteArrayView cota, QByteArray& texto,
                qint64 maximo) const;

    // The entries of a folder, "." and ".." left out.
    struct Entrada {
        QByteArray nombre;
        bool carpeta = false, enlace = false;
    };
    static QList<Entrada> listar(int fd);

    // Calls `enlace` with the path, relative to DATOS, of every symbolic link
    // under `carpeta`, however deep, until `parar`; links are not followed.
    void recorrerEnlaces(QByteArrayView carpeta, const std::atomic<bool>& parar,
                         const std::function<void(const QByteArray&)>& enlace) const;

    bool valido() const { return raiz_ >= 0; }
    const QString& datos() const { return datos_; }

private:
    int raiz_ = -1;
    QString datos_;             // DATOS with its links resolved
    QByteArrayList partesRaiz_; // its parts, to take an absolute link's target back inside
};

// "a/b/../c" as "a/c"; empty when it climbs out of where it starts.
QByteArray limpiarRelativa(QByteArrayView ruta, bool* fuera = nullptr);
bool dentroDe(QByteArrayView ruta, QByteArrayView cota);

// Every site-packages folder of DATOS/python, each once (a venv's lib64 is a
// link to lib), as where it leads inside python/.
QByteArrayList sitePackages(const Confinamiento& c);
