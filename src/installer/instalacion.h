#pragma once

#include "installer/protocolo.h"

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QStringDecoder>
#include <atomic>
#include <limits>
#include <memory>

class Delegado;

// One run of the installer script. It lives on the delegate's reading thread,
// which owns the process, the log and the line framing; the window hears of
// it only through calls queued on the delegate.
class Instalacion : public QObject {
    Q_OBJECT
public:
    struct Parametros {
        QString bash;
        QString guion;
        QString registro;
        QProcessEnvironment entorno;
    };

    Instalacion(Parametros p, Delegado* delegado);
    ~Instalacion() override;

    // Starts the script; runs on the reading thread.
    void arrancar();

    // Readable from any thread.
    bool corre() const { return corre_.load(); }
    // Sends the termination signal to the script and everything it started.
    void cancelar();
    // Readable from any thread: reading stops waiting for the window, which
    // is going away or has moved on to another run.
    void soltar() {
        enCamino_->store(soltada);
        enCamino_->notify_all();
    }

    // Chunks handed to the window and not yet shown there, beyond which
    // reading pauses.
    static constexpr int maximoEnCamino = 8;

private:
    void leer();
    void entregar(QByteArrayView bytes);
    void alTerminar(int codigo, QProcess::ExitStatus estado);
    void alFallar(QProcess::ProcessError error);

    const Parametros p_;
    Delegado* const delegado_;
    QProcess* proceso_ = nullptr;
    QFile registro_;
    Encuadre encuadre_;
    std::atomic<bool> corre_{false};
    std::atomic<qint64> pid_{0};
    bool terminada_ = false;
    // Shared with the blocks queued on the delegate, which may outlive the run.
    // Once released the count starts so low that reading never waits again.
    static constexpr int soltada = std::numeric_limits<int>::min() / 2;
    const std::shared_ptr<std::atomic<int>> enCamino_ = std::make_shared<std::atomic<int>>(0);
};
