#pragma once

#include "base/globales.h"
#include "base/tiempos.h"

#include <atomic>
#include <chrono>
#include <optional>

// The bar while the engine is awaited: from 0.04 along a 90-second line,
// never past 0.95 before the engine answers.
constexpr double curvaEspera(double segundos) {
    const double v = segundos / 90.0 * 0.9 + 0.04;
    return v < 0.95 ? v : 0.95;
}

// Who hears of the wait. The calls come from the waiting thread; an
// implementation hands them on to its own.
class OyenteEspera {
public:
    virtual ~OyenteEspera() = default;
    virtual void esperaAvanza(double valor) = 0;
    virtual void motorAbrio() = 0;
    virtual void motorNoAbrio() = 0;
    // Another user's program holds the engine's port: ours cannot serve.
    virtual void puertoAjeno() = 0;
};

// Probes the engine until it answers, dies for longer than its grace, the
// limit runs out, or another user's program answers, and tells `oyente`
// exactly one of the ends. `parar` ends the wait quietly at its next look.
// Blocks: run it on a worker thread.
void esperarMotor(const Globales& g, const Tiempos& tiempos, std::optional<qint64> motor,
                  std::chrono::steady_clock::time_point inicio, const std::atomic<bool>& parar,
                  OyenteEspera& oyente);
