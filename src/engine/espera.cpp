#include "engine/espera.h"

#include "base/proceso.h"
#include "engine/motor.h"

#include <QDeadlineTimer>

#include <thread>

using namespace std::chrono_literals;

void esperarMotor(const Globales& g, const Tiempos& tiempos, std::optional<qint64> motor,
                  std::chrono::steady_clock::time_point inicio, const std::atomic<bool>& parar,
                  OyenteEspera& oyente) {
    const QDeadlineTimer limite(inicio + tiempos.limiteEspera, Qt::PreciseTimer);
    // From the first time our engine is found gone: how long it may stay gone.
    std::optional<QDeadlineTimer> ido;
    for (;;) {
        if (limite.hasExpired())
            return oyente.motorNoAbrio();
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
            if (!ido)
                ido = QDeadlineTimer(tiempos.graciaMotor, Qt::PreciseTimer);
            else if (ido->hasExpired())
                return oyente.motorNoAbrio();
        }
        const auto pasado = std::chrono::steady_clock::now() - inicio;
        oyente.esperaAvanza(curvaEspera(std::chrono::duration<double>(pasado).count()));
        // The pause is slept in short slices, so a delegate going away is not kept waiting.
        const QDeadlineTimer pausa(tiempos.pausaSonda, Qt::PreciseTimer);
        while (!parar.load() && !pausa.hasExpired())
            std::this_thread::sleep_for(
                std::min<std::chrono::nanoseconds>(pausa.remainingTimeAsDuration(), 50ms));
    }
}
