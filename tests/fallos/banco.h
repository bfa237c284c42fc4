#pragma once

#include "app/delegado.h"
#include "comun/comun.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <sys/mount.h>

namespace fallos {

// A delegate with a home folder of its own whose installer is a bash script
// in which `@` stands for the home folder.
struct Banco {
    pruebas::Casa casa;
    std::unique_ptr<Delegado> d;

    explicit Banco(const QByteArray& guion = {}) {
        // Opening the engine is not looked at here.
        d = std::make_unique<Delegado>(casa.globales("2.0"),
                                       Tiempos{.retrasoApertura = std::chrono::hours(24),
                                               .graciaInstalador = std::chrono::seconds(4)});
        d->construir();
        cambiarGuion(guion);
    }
    void cambiarGuion(QByteArray guion) const {
        const QByteArray casa = "'" + home().toUtf8().replace("'", "'\\''") + "'";
        pruebas::escribir(d->g.RECURSOS + "/paquete/instalar_mac.sh",
                          "#!/bin/bash\n" + guion.replace('@', casa), true);
    }
    bool correr() {
        d->alBoton();
        return esperarFin();
    }
    bool esperarFin() {
        return pruebas::esperarHasta([&] { return !d->instalando; }, std::chrono::minutes(4));
    }
    QString home() const { return casa.home(); }
    QByteArray registro() const { return pruebas::leer(d->g.REGISTRO); }
    // The log without its header line.
    QByteArray salida() const { return registro().mid(registro().indexOf('\n') + 1); }
};

// A mount for the length of a test: the tests run as root, who writes through
// file modes, so a read-only folder or a full disk needs one. Without `fuente`
// a tmpfs with `datos`; with it, `fuente` bound onto `punto`, then remounted
// with `banderas`. Detaching a mount detaches every mount below it as well.
struct Montaje {
    QByteArray punto;
    bool montado = false;
    int error = 0;
    Montaje(const QString& en, const QString& fuente, unsigned long banderas,
            const char* datos = nullptr)
        : punto(QFile::encodeName(en)) {
        const QByteArray f = fuente.isEmpty() ? "tmpfs" : QFile::encodeName(fuente);
        montado = ::mount(f, punto, "tmpfs", fuente.isEmpty() ? banderas : MS_BIND, datos) == 0;
        if (!montado || (!fuente.isEmpty() && banderas &&
                         ::mount(nullptr, punto, nullptr, MS_REMOUNT | MS_BIND | banderas,
                                 nullptr) != 0))
            error = errno;
    }
    ~Montaje() {
        if (montado)
            ::umount2(punto, MNT_DETACH);
    }
    bool hecho() const { return error == 0; }
    std::string motivo() const { return std::strerror(error); }
};

} // namespace fallos

// Where mounting is not permitted, the test cannot make its fault: it is skipped.
#define MONTAR_O_SALTAR(m)                                                                         \
    if (!(m).hecho())                                                                              \
    GTEST_SKIP() << "no se puede montar aquí: " << (m).motivo()
