#include "engine/espera.h"

#include "base/proceso.h"
#include "engine/motor.h"

#include <thread>

using namespace std::chrono_literals;

void esperarMotor(const Globales& g, const Tiempos& tiempos, std::optional<qint64> motor,
                  std::chrono::steady_clock::time_point inicio, const std::atomic<bool>& parar,
                  OyenteEspera& oyente) {
    using Reloj = std::chrono::steady_clock;
    const auto pasado = [inicio] { return Reloj::now() - inicio; };
    const auto rendirse = [&oyente] { oyente.motorNoAbrio(); };
    std::optional<Reloj::time_point> ido;

    for (;;) {
        if (pasado() >= tiempos.limiteEspera)
            return rendirse();
        if (parar.load())
            return;
        // An answer wins even when our engine is gone: another copy may serve.
        switch (sondear(g)) {
        case Sonda::motor:
            return oyente.motorAbrio();
        case Sonda::ajeno:
            return oyente.puertoAjeno();
        case Sonda::callada:
            break;
        }
        if (!motor || !sigueVivo(*motor)) {
            const auto ahora = Reloj::now();
            if (!ido)
                ido = ahora;
            else if (ahora - *ido > tiempos.graciaMotor)
                return rendirse();
        }
        const double t = std::chrono::duration<double>(pasado()).count();
        oyente.esperaAvanza(curvaEspera(t));
        // The pause is slept in short slices, so a delegate going away is not kept waiting.
        const auto despertar = Reloj::now() + tiempos.pausaSonda;
        for (auto ahora = Reloj::now(); !parar.load() && ahora < despertar; ahora = Reloj::now())
            std::this_thread::sleep_for(std::min<Reloj::duration>(despertar - ahora, 50ms));
    }
}
