#pragma once

#include "app/delegado.h"
#include "comun/comun.h"

#include <QByteArray>
#include <memory>

// Whether this build runs under AddressSanitizer, where memory use and speed
// are not what a user sees.
#if defined(__SANITIZE_ADDRESS__)
#define VARNO_SANITIZADO 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARNO_SANITIZADO 1
#endif
#endif
#ifndef VARNO_SANITIZADO
#define VARNO_SANITIZADO 0
#endif

namespace fallos {

// A delegate with a home folder of its own whose bundle's installer is the
// bash script the test gives.
struct Banco {
    pruebas::Casa casa;
    std::unique_ptr<Delegado> d;

    explicit Banco(const QByteArray& guion) {
        const Globales g = casa.globales(QStringLiteral("2.0"));
        Tiempos t;
        t.retrasoApertura = std::chrono::hours(24); // opening the engine is not tested here
        d = std::make_unique<Delegado>(g, t);
        d->construir();
        cambiarGuion(guion);
    }
    void cambiarGuion(const QByteArray& guion) const {
        pruebas::escribir(d->g.RECURSOS + QStringLiteral("/paquete/instalar_mac.sh"),
                          "#!/bin/bash\n" + guion, true);
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
    QByteArray salida() const {
        const QByteArray r = registro();
        return r.mid(r.indexOf('\n') + 1);
    }
};

// Quotes a path for a bash script.
inline QByteArray comillas(const QString& ruta) {
    return "'" + ruta.toUtf8().replace("'", "'\\''") + "'";
}

} // namespace fallos
