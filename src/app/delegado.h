#pragma once

#include "app/decision.h"
#include "base/globales.h"
#include "base/tiempos.h"
#include "engine/espera.h"
#include "installer/instalacion.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

class Barra;
class Boton;
class Etiqueta;
class Ventana;

// The one object that holds the program's state: it owns the window and its
// controls, the installer run and the flags that say what the program is doing.
// It is the only object that ties the window to the installer and the engine.
class Delegado : public QObject, public Acciones, public OyenteInstalacion, public OyenteEspera {
    Q_OBJECT
public:
    explicit Delegado(Globales g = globales(), Tiempos t = {}, QObject* parent = nullptr);
    ~Delegado() override;

    // The end of launching: decides once what this start is for.
    void applicationDidFinishLaunching(const QStringList& argumentos);
    // The close guard: asks before closing while the installer really runs.
    bool windowShouldClose();

    void mostrar(qint64 n, bool ejemplo = false);
    void alBoton();
    void construir();

    void empezar() override;
    void linea(const QString& l);
    // OyenteInstalacion: all complete lines of one chunk of output, in order;
    // the end of the run.
    void lineas(const Trozo& t) override;
    void termino(bool bien) override;
    void noEmpezo(const QString& motivo) override;

    void abrirYEsperar() override;
    void abrio();
    // `motivo` stands in for the engine's own reason when it is known better.
    void noArranco(const std::optional<QString>& motivo = std::nullopt);
    // OyenteEspera: called on the waiting thread, handed on to this one.
    void esperaAvanza(double valor) override;
    void motorAbrio() override;
    void motorNoAbrio() override;
    void puertoAjeno() override;

    QString captura(const QString& ruta);

    // Whether the installer process is running now, and its cancellation (the
    // whole process group, so that downloads it started stop too). Virtual so
    // that the close guard can be exercised without a real run.
    virtual bool instaladorCorre() const;
    virtual void cancelarInstalacion();
    void soltarInstalacion();

    const Globales g;
    const Tiempos tiempos;

    std::unique_ptr<Ventana> ventana;
    QPointer<Etiqueta> info;
    QPointer<Etiqueta> estado;
    QPointer<Etiqueta> detalle;
    QPointer<Barra> barra;
    QPointer<Boton> boton;
    QPointer<Boton> registroBoton;
    // The installer run while it is under way; it lives on `cola`.
    QPointer<Instalacion> proceso;
    bool instalando = false;
    bool listo = false;
    bool actualizando = false;
    bool abriendo = false;
    bool noAbrio = false;
    qint64 paso = 0;
    double avance = 0.0;
    // Installer output is split into lines on this thread; it owns the unfinished
    // last line while a run is under way.
    QThread cola;

    // Acciones: what the launch decision does for real.
    QString escribirIcono(const QString& ruta) override;
    QString escribirFondoDmg(const QString& ruta, double escala) override;
    QString escribirCaptura(const QString& ruta, qint64 pantalla) override;
    void avisar(const QString& linea) override;
    void salir(int estado) override;
    bool moverAAplicaciones() override;
    void terminar() override;
    void programarExpulsion(const QString& volumen) override;
    bool estaInstalado() override;
    bool motorResponde() override;
    void lanzarMotor() override;
    bool hayInstalacionAnterior() override;
    void fijarActualizando(bool valor) override;
    bool mostrarVentana(const QString& titulo) override;

    // Set when the toolkit runs without a screen because none was found.
    static inline bool sinPantalla = false;

private:
    // Queues `f` on this object unless it is going away.
    template <typename F> void publicar(F f);

    // Counts openings, so a delayed one can tell whether another came first.
    std::uint64_t aperturas_ = 0;
    // Why the move into Applications failed, shown under the first screen's text.
    QString avisoMudanza_;
    // Set when the delegate goes away; the wait stops at its next look.
    std::atomic<bool> cerrando_{false};
    // The wait runs on a pool of its own, which the delegate waits for when it
    // goes away, so nothing is ever queued on a deleted delegate.
    QThreadPool esperas_;
};
