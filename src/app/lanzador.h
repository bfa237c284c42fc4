#pragma once

#include "installer/protocolo.h"
#include "maintenance/mantenimiento.h"

#include <QList>
#include <QString>

// The launcher's state and what moves it, without widgets: each event is a
// function from the state to the next one and what the program must then do.
// The window only renders `pantalla(estado)`; `Delegado` runs the effects.

// What the program is doing, which is what the window shows and what its
// buttons do.
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
    noEliminado,   // the same, after a removal that could not be done
    verificando,   // every file is hashed
    sano,          // all is well: «Abrir VARNO»
    averiado,      // «Reparar» and «Ver el informe»
    eliminado,     // the runtime is in the Trash: «Instalar»
};

struct Estado {
    Fase fase = Fase::inicio;
    // An update of an older installation rather than a first one.
    bool actualizando = false;
    // The installer runs to repair what the last verification found.
    bool reparando = false;
    QString estado, detalle;
    double barra = 0.0;
    // Where the installer's output has taken the bar.
    Progreso progreso;
    // Why the move into Applications failed, shown under the first screen's text.
    QString aviso;
    Instalado instalado;
    Informe informe;
};

// What the program does after an event, in order.
enum class Efecto {
    instalar,            // a run of the installer (a repair while `reparando`)
    ponerEnElDock,       // answered by `enElDock`
    abrirMotor,          // the engine started and awaited
    abrirEnUnMomento,    // the engine opened after a pause, unless it was already
    salirEnUnMomento,    // the program ends after a pause
    describir,           // answered by `descrito`
    verificar,           // answered by `verificado`
    preguntarSiEliminar, // and on a yes, the removal, answered by `eliminado`
    verInforme,          // the maintenance report written and opened
    verRegistro,         // the installation log opened
    verSalidaDelMotor,   // the engine's output opened
};

struct Transicion {
    Estado estado;
    QList<Efecto> efectos;
};

// The events. Each returns the whole next state.
Transicion alPulsar(const Estado& e);
Transicion alPulsarSecundario(const Estado& e);
Transicion alEmpezar(const Estado& e);
Transicion conLineas(const Estado& e, const Trozo& t);
Transicion alTerminarInstalacion(const Estado& e, bool bien);
// The script could not start; `motivo` says why.
Transicion alNoEmpezar(const Estado& e, const QString& motivo);
Transicion enElDock(const Estado& e, bool puesto);
Transicion alAbrir(const Estado& e);
// The pause after an installation: the engine opens unless it was opened meanwhile.
Transicion trasLaPausa(const Estado& e);
Transicion conEspera(const Estado& e, double valor);
Transicion alAbrirElMotor(const Estado& e);
// `motivo`: the engine's own last words, or another program on its port.
Transicion alNoAbrirElMotor(const Estado& e, const QString& motivo);
Transicion alMantener(const Estado& e, bool hayMotor);
Transicion descrito(const Estado& e, const Instalado& i);
Transicion alVerificar(const Estado& e);
Transicion conAvance(const Estado& e, const AvanceVerificacion& a);
Transicion verificado(const Estado& e, const Informe& i);
Transicion eliminado(const Estado& e, const Resultado<qint64>& r);

// Closing asks first only while the installer really runs.
bool cierrePregunta(const Estado& e, bool instaladorCorre);

// What the window shows in a state.
struct Pantalla {
    QString boton;                         // the main button's title
    bool activo;                           // whether it acts
    QString secundario;                    // the second button's title; empty: hidden
    enum Color { papel, bien, mal } color; // the status line's
    bool abajo;   // status, detail and bar show, rather than the first screen's text
    bool barra;   // the bar shows
    bool detalle; // the detail line shows
    QString estado, textoDetalle;
    double valor;
    bool operator==(const Pantalla&) const = default;
};
Pantalla pantalla(const Estado& e);

// The screens a window capture can show, by their number on the command line,
// with example contents.
struct Captura {
    const char* nombre;
    Estado estado;
};
QList<Captura> capturas();
