#pragma once

#include "base/globales.h"
#include "base/texto.h"
#include "installer/protocolo.h"

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <atomic>
#include <chrono>
#include <limits>
#include <memory>

// Who hears of a run: each chunk's complete lines, then its end. The calls
// arrive on the thread of the context object handed to the run, in order.
class OyenteInstalacion {
public:
    virtual ~OyenteInstalacion() = default;
    virtual void lineas(const Trozo& t) = 0;
    virtual void termino(bool bien) = 0;
    // The script could not be started at all; `motivo` says why.
    virtual void noEmpezo(const QString& motivo) = 0;
};

// One run of the installer script. It lives on a reading thread of its own,
// which owns the process, the log and the line framing; the listener hears of
// it only through calls queued on the context object, so nothing reaches a
// listener that is gone.
class Instalacion : public QObject {
    Q_OBJECT
public:
    struct Parametros {
        QString bash;
        QString guion;
        QString registro;
        QProcessEnvironment entorno;
        // How long the script's process group may take to end by itself once
        // the run is torn down while it goes on.
        std::chrono::milliseconds gracia{10'000};
    };

    Instalacion(Parametros p, QObject* contexto, OyenteInstalacion* oyente);
    // Runs on the reading thread. While the script runs (or after a
    // termination signal) it waits, without an event loop, for the script's
    // process group to end by itself, still logging its output, and kills
    // what is left when the grace time is over.
    ~Instalacion() override;

    // Starts the script; runs on the reading thread.
    void arrancar();

    // Readable from any thread.
    bool corre() const { return corre_.load(); }
    // Sends the termination signal, once, to the script and everything it started.
    void cancelar();
    // Readable from any thread: reading stops waiting for the window, which
    // is going away or has moved on to another run.
    void soltar() {
        enCamino_->store(soltada);
        enCamino_->notify_all();
    }

    // Chunks handed to the listener and not yet taken by it, beyond which
    // reading pauses.
    static constexpr int maximoEnCamino = 8;

private:
    void leer();
    void entregar(QByteArrayView bytes, bool ultimo = false);
    void esperarAlGrupo();
    void alTerminar(int codigo, QProcess::ExitStatus estado);
    void alFallar(QProcess::ProcessError error);

    const Parametros p_;
    // The listener lives on the context's thread.
    QObject* const contexto_;
    OyenteInstalacion* const oyente_;
    QProcess* proceso_ = nullptr;
    QFile registro_;
    DecodificadorUtf8 decodificador_;
    Encuadre encuadre_;
    std::atomic<bool> corre_{false};
    std::atomic<qint64> pid_{0};
    // The group was sent the termination signal: by a cancel, or after a failure.
    std::atomic<bool> senalado_{false};
    // Shared with the blocks queued on the delegate, which may outlive the run.
    // Once released the count starts so low that reading never waits again.
    static constexpr int soltada = std::numeric_limits<int>::min() / 2;
    const std::shared_ptr<std::atomic<int>> enCamino_ = std::make_shared<std::atomic<int>>(0);
};

// The bundle's installer with its log and environment; `reparar` is what a
// repair puts right (none for an installation).
Instalacion::Parametros
parametrosDelInstalador(const Globales& g, const QString& reparar = {},
                        std::chrono::milliseconds gracia = std::chrono::seconds(10));
