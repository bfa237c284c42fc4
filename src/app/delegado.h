#pragma once

#include "app/decision.h"
#include "base/globales.h"
#include "base/tiempos.h"
#include "engine/espera.h"
#include "installer/instalacion.h"
#include "maintenance/mantenimiento.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <memory>
#include <optional>

class Barra;
class Boton;
class Etiqueta;
class QCloseEvent;
class Ventana;
struct Opciones;

// The one object that holds the program's state: it owns the window and its
// controls, the installer run and the phase the program is in. It is the only
// object that ties the window to the installer and the engine.
class Delegado : public QObject, public Acciones, public OyenteInstalacion, public OyenteEspera {
    Q_OBJECT
public:
    // What the program is doing, which is what the window shows and what its
    // button does. The first six are the screens a capture can show, in order.
    enum class Fase {
        inicio,     // «Instalar»
        instalando, // the installer runs
        instalado,  // «Abrir VARNO»
        fallo,      // the installation failed: «Reintentar» and its log
        abriendo,   // the engine is awaited
        noAbrio,    // the engine did not answer: «Reintentar» and its log
        abierto,    // the engine answered; VARNO quits shortly
        // Maintenance of the runtime:
        mantenimiento, // what is installed: «Verificar» and «Eliminar el motor»
        verificando,   // every file is hashed
        sano,          // all is well: «Abrir VARNO»
        averiado,      // «Reparar» and «Ver el informe»
        eliminado,     // the runtime is in the Trash: «Instalar»
    };

    explicit Delegado(Globales g, Tiempos t = {}, QObject* parent = nullptr);
    ~Delegado() override;

    // The end of launching: decides once what this start is for.
    void applicationDidFinishLaunching(const Opciones& opciones);
    // The close guard: asks before closing while the installer really runs.
    bool windowShouldClose();

    void construir();
    // Puts the window in phase `f`; with `ejemplo`, with example texts for a capture.
    void mostrar(Fase f, bool ejemplo = false);
    void alBoton();
    Fase fase() const { return fase_; }
    Ventana* ventana() const { return ventana_.get(); }
    // Brings a showing window to the front; false when none shows.
    bool traerAlFrente();

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
    void empezar() override;
    void abrirYEsperar() override;
    bool opcionPulsada() override;
    void mantener() override;

    // OyenteInstalacion: all complete lines of one chunk of output, in order;
    // the end of the run.
    void lineas(const Trozo& t) override;
    void termino(bool bien) override;
    void noEmpezo(const QString& motivo) override;

    // OyenteEspera: called on the waiting thread, handed on to this one.
    void esperaAvanza(double valor) override;
    void motorAbrio() override;
    void motorNoAbrio() override;
    void puertoAjeno() override;

    // Set when the toolkit runs without a screen because none was found.
    static inline bool sinPantalla = false;

protected:
    // Whether the installer process is running now, and its cancellation (the
    // whole process group, so that downloads it started stop too). Virtual so
    // that the close guard can be exercised without a real run.
    virtual bool instaladorCorre() const;
    virtual void cancelarInstalacion();

private:
    void alBotonSecundario();
    void verificarMotor();
    void reparar();
    void eliminar();
    void verInforme();
    void abrio();
    // `motivo` stands in for the engine's own reason when it is known better.
    void noArranco(const std::optional<QString>& motivo = std::nullopt);
    void soltarInstalacion();
    void alCerrar(QCloseEvent* e);
    // Queues `f` on this object unless it is going away. The delegate waits for
    // its workers before it goes, so it is alive here.
    template <typename F> void publicar(F f) {
        if (!cerrando_.load())
            QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
    }

    const Globales g_;
    const Tiempos tiempos_;
    bool noMover_ = false;

    Fase fase_ = Fase::inicio;
    // An update of an older installation rather than a first one.
    bool actualizando_ = false;
    qint64 paso_ = 0;
    double avance_ = 0.0;
    // The installer runs to repair what the last verification found.
    bool reparando_ = false;
    Instalado instalado_;
    Informe informe_;

    std::unique_ptr<Ventana> ventana_;
    QPointer<Etiqueta> info_;
    QPointer<Etiqueta> estado_;
    QPointer<Etiqueta> detalle_;
    QPointer<Barra> barra_;
    QPointer<Boton> boton_;
    QPointer<Boton> registroBoton_;

    // The installer run while it is under way; it lives on `cola_`.
    QPointer<Instalacion> proceso_;
    // Installer output is split into lines on this thread; it owns the unfinished
    // last line while a run is under way.
    QThread cola_;

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
