#include "engine/espera.h"

#include "app/delegado.h"
#include "engine/correr.h"
#include "engine/motor.h"
#include "ui/marca.h"
#include "ui/vistas.h"

#include <QCoreApplication>
#include <QTimer>
#include <thread>

using namespace std::chrono_literals;

template <typename F> void Delegado::publicar(F f) {
    // The delegate waits for this loop before it goes away, so it is alive here.
    if (!cerrando_.load())
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

void Delegado::abrirYEsperar() {
    abriendo = true;
    noAbrio = false;
    ++aperturas_;
    mostrar(4, false);
    estado->fijarTexto(QStringLiteral("Abriendo VARNO…"));
    detalle->fijarTexto(QStringLiteral("La primera vez puede tardar uno o dos minutos."));
    barra->fijarValor(curvaEspera(0));
    const std::optional<qint64> motor = abrirVARNO(g);
    const auto inicio = std::chrono::steady_clock::now();
    esperas_.start([this, motor, inicio] { esperarMotor(motor, inicio); });
}

void Delegado::esperarMotor(std::optional<qint64> motor,
                            std::chrono::steady_clock::time_point inicio) {
    using Reloj = std::chrono::steady_clock;
    const auto pasado = [inicio] { return Reloj::now() - inicio; };
    const auto rendirse = [this] { publicar([this] { noArranco(); }); };
    std::optional<Reloj::time_point> ido;

    if (pasado() >= tiempos.limiteEspera)
        return rendirse();
    for (;;) {
        if (cerrando_.load())
            return;
        // An answer wins even when our engine is gone: another copy may serve.
        if (responde(g))
            return publicar([this] { abrio(); });
        if (!motor || !sigueVivo(*motor)) {
            const auto ahora = Reloj::now();
            if (!ido)
                ido = ahora;
            else if (ahora - *ido > tiempos.graciaMotor)
                return rendirse();
        }
        const double t = std::chrono::duration<double>(pasado()).count();
        publicar([this, t] {
            if (barra)
                barra->fijarValor(curvaEspera(t));
        });
        // The pause is slept in short slices, so a delegate going away is not kept waiting.
        const auto despertar = Reloj::now() + tiempos.pausaSonda;
        for (auto ahora = Reloj::now(); !cerrando_.load() && ahora < despertar;
             ahora = Reloj::now())
            std::this_thread::sleep_for(std::min<Reloj::duration>(despertar - ahora, 50ms));
        if (pasado() >= tiempos.limiteEspera)
            return rendirse();
    }
}

void Delegado::abrio() {
    abriendo = false;
    barra->fijarValor(1.0);
    estado->fijarTexto(QStringLiteral("VARNO está abierto."));
    estado->fijarColor(Marca::bien);
    detalle->fijarTexto(QStringLiteral("La ventana de VARNO aparece en unos segundos."));
    QTimer::singleShot(tiempos.retrasoSalida, this, [] { QCoreApplication::quit(); });
}

void Delegado::noArranco() {
    abriendo = false;
    noAbrio = true;
    mostrar(5, false);
    estado->fijarTexto(QStringLiteral("VARNO no pudo abrirse."));
    detalle->fijarTexto(
        ultimaLinea(g.MESA_LOG).value_or(QStringLiteral("El motivo está en el registro.")));
}
