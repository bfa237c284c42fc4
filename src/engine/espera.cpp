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

namespace {
// Hands each call of the waiting thread on to the object's own thread.
struct Relevo : OyenteEspera {
    EsperaMotor* e;
    template <typename F> void dar(F f) { QMetaObject::invokeMethod(e, f, Qt::QueuedConnection); }
    void esperaAvanza(double v) override {
        dar([e = e, v] { emit e->avanza(v); });
    }
    void motorAbrio() override {
        dar([e = e] { emit e->abrio(); });
    }
    void motorNoAbrio() override {
        dar([e = e] { emit e->noAbrio(); });
    }
    void puertoAjeno() override {
        dar([e = e] { emit e->puertoAjeno(); });
    }
};
} // namespace

EsperaMotor::EsperaMotor(Globales g, Tiempos t, std::optional<qint64> motor,
                         std::chrono::steady_clock::time_point inicio, QObject* parent)
    : QObject(parent) {
    hilo_.reset(QThread::create([this, g = std::move(g), t, motor, inicio] {
        Relevo r;
        r.e = this;
        esperarMotor(g, t, motor, inicio, parar_, r);
    }));
    hilo_->setObjectName(QStringLiteral("varno.espera"));
    hilo_->start();
}

EsperaMotor::~EsperaMotor() {
    // What the thread queued on this object goes with it.
    parar_ = true;
    hilo_->wait();
}
