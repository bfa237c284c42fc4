#pragma once

#include "base/globales.h"
#include "base/tiempos.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>
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

// The wait as the window and the tests drive it: it starts at once on a thread
// of its own and tells of itself by signals on its owner's thread, exactly one
// of the three ends last. Destroying it stops the wait and waits for the thread.
class EsperaMotor : public QObject {
    Q_OBJECT
public:
    EsperaMotor(Globales g, Tiempos t, std::optional<qint64> motor,
                std::chrono::steady_clock::time_point inicio, QObject* parent = nullptr);
    ~EsperaMotor() override;

signals:
    void avanza(double valor);
    void abrio();
    void noAbrio();
    void puertoAjeno();

private:
    std::atomic<bool> parar_{false};
    std::unique_ptr<QThread> hilo_;
};
