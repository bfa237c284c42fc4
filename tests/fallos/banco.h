#pragma once

#include "app/delegado.h"
#include "comun/comun.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <sys/mount.h>

namespace fallos {

// A delegate whose installer is a bash script in which `@` stands for its home folder.
struct Banco {
    pruebas::Casa casa;
    const Globales g;
    std::unique_ptr<Delegado> d =
        std::make_unique<Delegado>(g, Tiempos{.retrasoApertura = std::chrono::hours(24),
                                              .graciaInstalador = std::chrono::seconds(6)});

    // By default VARNO runs where a moved one does: in the home folder's Applications.
    explicit Banco(const QByteArray& guion, const QString& bundle = {})
        : g(casa.globales("2.0",
                          bundle.isEmpty() ? casa.home() + "/Applications/VARNO.app" : bundle)) {
        d->construir();
        cambiarGuion(guion);
    }
    void cambiarGuion(QByteArray guion) const {
        pruebas::escribir(g.RECURSOS + "/paquete/instalar_mac.sh",
                          "#!/bin/bash\n" + guion.replace('@', "'" + home().toUtf8() + "'"), true);
    }
    bool correr() {
        d->alBoton();
        return esperarFin();
    }
    bool esperarFin() {
        return pruebas::esperarHasta([&] { return d->fase() != Delegado::Fase::instalando; },
                                     std::chrono::minutes(4));
    }
    QString home() const { return casa.home(); }
    QByteArray registro() const { return pruebas::leer(g.REGISTRO); }
    bool instalado() const { return d->fase() == Delegado::Fase::instalado; }
    Etiqueta* detalle() const { return pruebas::vista<Etiqueta>(d->ventana(), "detalle"); }
    QByteArray salida() const { return registro().mid(registro().indexOf('\n') + 1); }
    // The script's pid and its download's, as it wrote them to @/pids.
    QList<QByteArray> pids() const {
        const QList<QByteArray> l = pruebas::leer(home() + "/pids").trimmed().split(' ');
        return l.size() == 2 ? l : QList<QByteArray>();
    }
};

// Root writes through file modes, so a read-only folder or a full disk needs a mount: a tmpfs
// with `datos`, or `fuente` bound there with `banderas`.
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
