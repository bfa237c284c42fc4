// The window: building it, its screens, its button and its close guard.
#include "app/delegado.h"

#include "engine/motor.h"
#include "ui/marca.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QCloseEvent>

namespace {
struct Ejemplo {
    const char* estado;
    const char* detalle;
    double barra;
};
// Example contents, only for window captures, by phase.
constexpr Ejemplo ejemplos[] = {
    {"", "", 0.0},
    {"Paso 5 de 7 · Las bibliotecas", "Downloading torch (60.5MiB)", 0.5},
    {"VARNO está instalado.", "Se abre ahora. Las próximas veces, desde Aplicaciones o Launchpad.",
     1.0},
    {"No se pudo terminar la instalación.",
     "No se pudo descargar ffmpeg. Puedes reintentar: lo ya descargado no se vuelve a descargar.",
     0.1},
    {"Abriendo VARNO…", "La primera vez puede tardar uno o dos minutos.", 0.4},
    {"VARNO no pudo abrirse.", "ModuleNotFoundError: No module named 'cv2'", 0.6},
};
} // namespace

// How each phase looks: the main button's title and whether it acts, the
// second button's title (none: hidden), the status colour and whether the
// status, bar and detail show (else the first screen's text does).
struct Aspecto {
    const char* boton;
    bool activo;
    const char* secundario;
    enum Color { papel, bien, mal } color;
    bool abajo;
};
constexpr Aspecto aspectos[] = {
    {"Instalar", true, "", Aspecto::papel, false},                  // inicio
    {"Instalando…", false, "", Aspecto::papel, true},               // instalando
    {"Abrir VARNO", true, "", Aspecto::bien, true},                 // instalado
    {"Reintentar", true, "Ver el registro", Aspecto::mal, true},    // fallo
    {"Abriendo…", false, "", Aspecto::papel, true},                 // abriendo
    {"Reintentar", true, "Ver el registro", Aspecto::mal, true},    // noAbrio
    {"Abriendo…", false, "", Aspecto::bien, true},                  // abierto
    {"Verificar", true, "Eliminar el motor", Aspecto::papel, true}, // mantenimiento
    {"Verificando…", false, "", Aspecto::papel, true},              // verificando
    {"Abrir VARNO", true, "", Aspecto::bien, true},                 // sano
    {"Reparar", true, "Ver el informe", Aspecto::mal, true},        // averiado
    {"Instalar", true, "", Aspecto::papel, true},                   // eliminado
};
static_assert(std::size(aspectos) == std::size_t(Delegado::Fase::eliminado) + 1);

void Delegado::construir() {
    VentanaConstruida c = construirVentana();
    connect(c.ventana.get(), &Ventana::cierre, this, &Delegado::alCerrar);
    connect(c.boton, &Boton::clicked, this, &Delegado::alBoton);
    connect(c.registroBoton, &Boton::clicked, this, &Delegado::alBotonSecundario);
    ventana_ = std::move(c.ventana);
    info_ = c.info;
    estado_ = c.estado;
    detalle_ = c.detalle;
    barra_ = c.barra;
    boton_ = c.boton;
    registroBoton_ = c.registroBoton;
    mostrar(Fase::inicio);
}

void Delegado::mostrar(Fase f, bool ejemplo) {
    fase_ = f;
    if (!ventana_)
        return;
    const Aspecto& a = aspectos[int(f)];
    info_->setHidden(a.abajo);
    estado_->setHidden(!a.abajo);
    detalle_->setHidden(!a.abajo);
    // Nothing moves on the screens that only tell or ask.
    barra_->setHidden(!a.abajo || f == Fase::mantenimiento || f == Fase::eliminado);
    registroBoton_->setHidden(!*a.secundario);
    registroBoton_->setText(QString::fromUtf8(a.secundario));

    boton_->setEnabled(a.activo);
    if (f == Fase::instalando && (actualizando_ || reparando_))
        boton_->setText(reparando_ ? QStringLiteral("Reparando…")
                                   : QStringLiteral("Actualizando…"));
    else
        boton_->setText(QString::fromUtf8(a.boton));
    estado_->fijarColor(a.color == Aspecto::bien  ? Marca::bien
                        : a.color == Aspecto::mal ? Marca::mal
                                                  : Marca::papel);

    if (ejemplo && f != Fase::inicio && f <= Fase::noAbrio) {
        const Ejemplo& e = ejemplos[int(f)];
        estado_->fijarTexto(QString::fromUtf8(e.estado));
        detalle_->fijarTexto(QString::fromUtf8(e.detalle));
        barra_->fijarValor(e.barra);
    }
}

void Delegado::alBoton() {
    switch (fase_) {
    case Fase::inicio:
    case Fase::fallo:
    case Fase::eliminado:
        empezar();
        break;
    case Fase::instalado:
    case Fase::noAbrio:
    case Fase::sano:
        abrirYEsperar();
        break;
    case Fase::mantenimiento:
        verificarMotor();
        break;
    case Fase::averiado:
        reparar();
        break;
    case Fase::instalando:
    case Fase::abriendo:
    case Fase::abierto:
    case Fase::verificando:
        break;
    }
}

void Delegado::alBotonSecundario() {
    switch (fase_) {
    case Fase::noAbrio:
        abrirArchivo(registroDelMotor(g_).ruta);
        break;
    case Fase::mantenimiento:
        eliminar();
        break;
    case Fase::averiado:
        verInforme();
        break;
    default:
        abrirArchivo(g_.REGISTRO);
        break;
    }
}

void Delegado::alCerrar(QCloseEvent* e) {
    if (!windowShouldClose())
        e->ignore();
}

bool Delegado::windowShouldClose() {
    if (fase_ != Fase::instalando || !instaladorCorre())
        return true;
    if (!preguntar(ventana_.get(), QStringLiteral("La instalación todavía no terminó."),
                   QStringLiteral("¿Cancelarla? Se puede volver a empezar después: lo ya "
                                  "descargado no se vuelve a descargar."),
                   QStringLiteral("Cancelar la instalación"), QStringLiteral("Seguir"), true))
        return false;
    cancelarInstalacion();
    return true;
}
