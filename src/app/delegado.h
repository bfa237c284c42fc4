#pragma once

#include "app/decision.h"
#include "app/lanzador.h"
#include "base/aparte.h"
#include "base/globales.h"
#include "base/tiempos.h"

#include <QObject>
#include <QPointer>
#include <memory>

class Barra;
class Boton;
class EsperaMotor;
class Etiqueta;
class Instalacion;
class QCloseEvent;
class Ventana;
class Verificador;
struct Opciones;

// The glue between the launcher's state (`lanzador.h`, without widgets) and
// the world: it renders each state on the window, runs each transition's
// effects, and turns what the long work tells into the next events.
class Delegado : public QObject, public Acciones {
    Q_OBJECT
public:
    using Fase = ::Fase;

    explicit Delegado(Globales g, Tiempos t = {}, QObject* parent = nullptr);
    ~Delegado() override;

    // The end of launching: decides once what this start is for.
    void applicationDidFinishLaunching(const Opciones& opciones);
    // The close guard: asks before closing while the installer really runs.
    bool windowShouldClose();

    void construir();
    // Puts the window in phase `f`, the rest of the state as it is.
    void mostrar(Fase f);
    void alBoton();
    Fase fase() const { return e_.fase; }
    const Estado& estado() const { return e_; }
    Ventana* ventana() const { return ventana_.get(); }
    // Brings a showing window to the front; false when none shows.
    bool traerAlFrente();
    // The installer's lines, as a run tells them.
    void lineas(const Trozo& t);

    // Acciones: what the launch decision does for real.
    Resultado<> escribirIcono(const QString& ruta) override;
    Resultado<> escribirFondoDmg(const QString& ruta, double escala) override;
    Resultado<> escribirCaptura(const QString& ruta, qint64 pantalla) override;
    void avisar(const QString& linea) override;
    void salir(int estado) override;
    void moverAAplicaciones(std::function<void(bool)> luego) override;
    void terminar() override;
    void programarExpulsion(const QString& volumen) override;
    bool estaInstalado() override;
    void sondearMotor(std::function<void(bool)> luego) override;
    void lanzarMotor() override;
    bool hayInstalacionAnterior() override;
    void fijarActualizando(bool valor) override;
    bool mostrarVentana(const QString& titulo) override;
    void empezar() override;
    void abrirYEsperar() override;
    bool opcionPulsada() override;
    void mantener() override;

    // Set when the toolkit runs without a screen because none was found.
    static inline bool sinPantalla = false;

protected:
    // Runs one effect; virtual so that tests can record them instead.
    virtual void hacer(Efecto efecto);
    // Whether the installer process is running now, and its cancellation (the
    // whole process group, so that downloads it started stop too). Virtual so
    // that the close guard can be exercised without a real run.
    virtual bool instaladorCorre() const;
    virtual void cancelarInstalacion();

private:
    void aplicar(const Transicion& t);
    void pintar();
    void alBotonSecundario();
    void alCerrar(QCloseEvent* e);
    void instalar();
    void abrirMotor();
    void verificar();
    void preguntarSiEliminar();
    void verInforme();

    const Globales g_;
    const Tiempos tiempos_;
    bool noMover_ = false;
    Estado e_;

    std::unique_ptr<Ventana> ventana_;
    QPointer<Etiqueta> info_;
    QPointer<Etiqueta> estado_;
    QPointer<Etiqueta> detalle_;
    QPointer<Barra> barra_;
    QPointer<Boton> boton_;
    QPointer<Boton> registroBoton_;

    // The long work under way, each owning its thread.
    QPointer<Instalacion> instalacion_;
    std::unique_ptr<EsperaMotor> espera_;
    std::unique_ptr<Verificador> verificador_;

    // The short jobs (describing the runtime, the Dock, a removal), which the
    // delegate waits for when it goes away.
    Aparte aparte_;
};
