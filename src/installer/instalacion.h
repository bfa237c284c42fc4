#pragma once

#include "base/globales.h"
#include "base/texto.h"
#include "installer/protocolo.h"

#include <QObject>
#include <QProcess>
#include <QThread>
#include <chrono>

// One run of the installer script. The object lives on its caller's thread and
// tells of the run by signals: each chunk's complete lines, then its end, in
// that order. The process, the log and the line framing belong to a reading
// thread the run owns ("varno.lectura"), so a flood of output never holds the
// caller's loop. Destroying the run tears it down: a script that still runs is
// asked to stop, given its grace time, then killed, and nothing more is told.
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
        // The log's first line: each run replaces the log with it, so the log
        // always holds exactly one run. Empty: the run is appended.
        QByteArray cabecera;
    };

    explicit Instalacion(Parametros p, QObject* parent = nullptr);
    ~Instalacion() override;

    // Starts the script.
    void arrancar();
    // Readable from any thread.
    bool corre() const;
    // Sends the termination signal, once, to the script and everything it started.
    void cancelar();

    // Chunks told and not yet taken by the listeners, beyond which reading
    // pauses: the pipe fills and the script waits, so memory stays bounded
    // whatever it prints.
    static constexpr int maximoEnCamino = 8;

signals:
    void lineas(const Trozo& t);
    void termino(bool bien);
    // The script could not be started at all; `motivo` says why.
    void noEmpezo(const QString& motivo);

private:
    class Lectura;
    QThread hilo_;
    Lectura* lectura_;
};

// The bundle's installer with its log and environment; `reparar` is what a
// repair puts right (none for an installation).
Instalacion::Parametros
parametrosDelInstalador(const Globales& g, const QString& reparar = {},
                        std::chrono::milliseconds gracia = std::chrono::seconds(10));
