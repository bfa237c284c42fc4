#pragma once

#include "app/delegado.h"
#include "comun/comun.h"

#include <QByteArray>
#include <memory>

namespace fallos {

// Quotes a path for a bash script.
inline QByteArray comillas(const QString& ruta) {
    return "'" + ruta.toUtf8().replace("'", "'\\''") + "'";
}

// A delegate with a home folder of its own whose installer is a bash script.
struct Banco {
    pruebas::Casa casa;
    std::unique_ptr<Delegado> d;

    explicit Banco(const QByteArray& guion = {}) {
        // Opening the engine is not tested here.
        d = std::make_unique<Delegado>(casa.globales(QStringLiteral("2.0")),
                                       Tiempos{.retrasoApertura = std::chrono::hours(24),
                                               .graciaInstalador = std::chrono::seconds(5)});
        d->construir();
        cambiarGuion(guion);
    }
    // `@` in the script stands for the home folder.
    void cambiarGuion(QByteArray guion) const {
        pruebas::escribir(d->g.RECURSOS + QStringLiteral("/paquete/instalar_mac.sh"),
                          "#!/bin/bash\n" + guion.replace('@', comillas(home())), true);
    }
    // A run from the press of the button to its end; whether it ended.
    bool correr(std::chrono::milliseconds limite = std::chrono::minutes(2)) {
        d->alBoton();
        return esperarFin(limite);
    }
    bool esperarFin(std::chrono::milliseconds limite = std::chrono::minutes(2)) {
        return pruebas::esperarHasta([&] { return !d->instalando; }, limite);
    }
    QString home() const { return casa.home(); }
    QByteArray registro() const { return pruebas::leer(d->g.REGISTRO); }
    // The log without its header line.
    QByteArray salida() const { return registro().mid(registro().indexOf('\n') + 1); }
};

} // namespace fallos
