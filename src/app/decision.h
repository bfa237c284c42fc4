#pragma once

#include "base/resultado.h"

#include <QString>

#include <functional>

struct Opciones;

// What the launch decision can do. The delegate does it for real; tests
// record the calls.
class Acciones {
public:
    virtual ~Acciones() = default;

    // The packaging writers answer why the picture was not written, or
    // nothing when it was.
    virtual Resultado<> escribirIcono(const QString& ruta) = 0;
    virtual Resultado<> escribirFondoDmg(const QString& ruta, double escala) = 0;
    // Builds the window (never shown), puts it on `pantalla` with example texts
    // and captures its content.
    virtual Resultado<> escribirCaptura(const QString& ruta, qint64 pantalla) = 0;
    // One line on standard error.
    virtual void avisar(const QString& linea) = 0;
    // Ends the process with `estado` once the decision returns.
    virtual void salir(int estado) = 0;

    // The two slow steps, the copy to Applications and the probe of the engine,
    // run tools: each answers `luego` later, on the caller's thread, which stays
    // free meanwhile. The move answers whether the copy started.
    virtual void moverAAplicaciones(std::function<void(bool)> luego) = 0;
    virtual void terminar() = 0;
    virtual void programarExpulsion(const QString& volumen) = 0;

    virtual bool estaInstalado() = 0;
    virtual void sondearMotor(std::function<void(bool)> luego) = 0;
    virtual void lanzarMotor() = 0;
    // An interpreter is in place and a marker names some version.
    virtual bool hayInstalacionAnterior() = 0;
    virtual void fijarActualizando(bool actualizando) = 0;

    // Builds the window, gives it `titulo` when not empty, centres, shows and
    // activates it. False when there is no screen to show it on.
    virtual bool mostrarVentana(const QString& titulo) = 0;
    virtual void abrirYEsperar() = 0;
    virtual void empezar() = 0;

    // Whether ⌥ (Alt) is held as the program starts.
    virtual bool opcionPulsada() = 0;
    // Puts the shown window on the maintenance screen.
    virtual void mantener() = 0;
};

// What a start of the program is for, decided once, in a fixed order.
void decidirArranque(const Opciones& o, Acciones& a);
