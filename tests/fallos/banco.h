#pragma once

#include "app/delegado.h"
#include "comun/comun.h"

#include <sys/mount.h>

namespace fallos {

// A delegate with a home folder of its own whose installer is a bash script
// in which `@` stands for the home folder. Opening the engine is not looked at.
struct Banco {
    pruebas::Casa casa;
    std::unique_ptr<Delegado> d = std::make_unique<Delegado>(
        casa.globales("2.0"), Tiempos{.retrasoApertura = std::chrono::hours(24),
                                      .graciaInstalador = std::chrono::seconds(6)});

    explicit Banco(const QByteArray& guion) {
        d->construir();
        cambiarGuion(guion);
    }
    void cambiarGuion(QByteArray guion) const {
        pruebas::escribir(d->g.RECURSOS + "/paquete/instalar_mac.sh",
                          "#!/bin/bash\n" + guion.replace('@', "'" + home().toUtf8() + "'"), true);
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
    QByteArray salida() const { return registro().mid(registro().indexOf('\n') + 1); }
    // The pids the script wrote to @/pids: its own and its download's.
    QList<QByteArray> pids() const {
        const QList<QByteArray> l = pruebas::leer(home() + "/pids").trimmed().split(' ');
        return l.size() == 2 ? l : QList<QByteArray>();
    }
};

// A mount for the length of a test: root writes through file modes, so a read-only folder
// or a full disk needs one. Without `fuente` a tmpfs with `datos`; with it, `fuente` bound
// there and remounted with `banderas`. Detaching a mount detaches every mount below it.
struct Montaje {
    QByteArray punto;
    bool montado;
    int error = 0;
    Montaje(const QString& en, const QString& fuente, unsigned long banderas,
            const char* datos = nullptr)
        : punto(QFile::encodeName(en)) {
        const bool atar = !fuente.isEmpty();
        montado = ::mount(atar ? QFile::encodeName(fuente) : "tmpfs", punto, "tmpfs",
                          atar ? static_cast<unsigned long>(MS_BIND) : banderas, datos) == 0;
        if (!montado ||
            (atar && banderas &&
             ::mount(nullptr, punto, nullptr, MS_REMOUNT | MS_BIND | banderas, nullptr)))
            error = errno;
    }
    ~Montaje() {
        if (montado)
            ::umount2(punto, MNT_DETACH);
    }
};

} // namespace fallos

// Where mounting is not permitted, the test cannot make its fault: it is skipped.
#define MONTAR_O_SALTAR(m)                                                                         \
    if ((m).error)                                                                                 \
    GTEST_SKIP() << "no se puede montar aquí: " << std::strerror((m).error)
