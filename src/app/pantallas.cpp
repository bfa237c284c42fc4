// The window: building it, rendering the state on it, its buttons and its close guard.
#include "app/delegado.h"

#include "ui/marca.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QCloseEvent>

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
    pintar();
}

void Delegado::pintar() {
    if (!ventana_)
        return;
    const Pantalla p = pantalla(e_);
    info_->setHidden(p.abajo);
    estado_->setHidden(!p.abajo);
    detalle_->setHidden(!p.detalle);
    barra_->setHidden(!p.barra);
    registroBoton_->setHidden(p.secundario.isEmpty());
    registroBoton_->setText(p.secundario);
    boton_->setEnabled(p.activo);
    boton_->setText(p.boton);
    estado_->fijarColor(p.color == Pantalla::bien  ? Marca::bien
                        : p.color == Pantalla::mal ? Marca::mal
                                                   : Marca::papel);
    estado_->fijarTexto(p.estado);
    detalle_->fijarTexto(p.textoDetalle);
    barra_->fijarValor(p.valor);
}

void Delegado::aplicar(const Transicion& t) {
    e_ = t.estado;
    pintar();
    for (const Efecto efecto : t.efectos)
        hacer(efecto);
}

void Delegado::mostrar(Fase f) {
    e_.fase = f;
    pintar();
}

void Delegado::alBoton() {
    aplicar(alPulsar(e_));
}

void Delegado::alBotonSecundario() {
    aplicar(alPulsarSecundario(e_));
}

void Delegado::lineas(const Trozo& t) {
    aplicar(conLineas(e_, t));
}

void Delegado::alCerrar(QCloseEvent* e) {
    if (!windowShouldClose())
        e->ignore();
}

bool Delegado::windowShouldClose() {
    if (!cierrePregunta(e_, instaladorCorre()))
        return true;
    if (!preguntar(ventana_.get(), QStringLiteral("La instalación todavía no terminó."),
                   QStringLiteral("¿Cancelarla? Se puede volver a empezar después: lo ya "
                                  "descargado no se vuelve a descargar."),
                   QStringLiteral("Cancelar la instalación"), QStringLiteral("Seguir"), true))
        return false;
    cancelarInstalacion();
    return true;
}
