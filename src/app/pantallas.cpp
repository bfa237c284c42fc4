// The window: building it, its screens, its button and its close guard.
#include "app/delegado.h"

#include "engine/motor.h"
#include "ui/marca.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QPushButton>

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

void Delegado::construir() {
    VentanaConstruida c = construirVentana();
    connect(c.ventana.get(), &Ventana::cierre, this, &Delegado::alCerrar);
    connect(c.boton, &Boton::clicked, this, &Delegado::alBoton);
    // The installation log's path is copied in, so that it still opens once
    // the delegate is gone.
    connect(c.registroBoton, &Boton::clicked, c.registroBoton,
            [d = QPointer<Delegado>(this), registro = g_.REGISTRO] {
                abrirArchivo(d && d->fase_ == Fase::noAbrio ? registroDelMotor(d->g_).ruta
                                                            : registro);
            });
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
    const bool inicio = f == Fase::inicio;
    const bool fallida = f == Fase::fallo || f == Fase::noAbrio;
    info_->setHidden(!inicio);
    estado_->setHidden(inicio);
    barra_->setHidden(inicio);
    detalle_->setHidden(inicio);
    registroBoton_->setHidden(!fallida);

    const bool espera = f == Fase::instalando || f == Fase::abriendo || f == Fase::abierto;
    boton_->setEnabled(!espera);
    switch (f) {
    case Fase::inicio:
        boton_->setText(QStringLiteral("Instalar"));
        break;
    case Fase::instalando:
        boton_->setText(actualizando_ ? QStringLiteral("Actualizando…")
                                      : QStringLiteral("Instalando…"));
        break;
    case Fase::instalado:
        boton_->setText(QStringLiteral("Abrir VARNO"));
        break;
    case Fase::fallo:
    case Fase::noAbrio:
        boton_->setText(QStringLiteral("Reintentar"));
        break;
    case Fase::abriendo:
    case Fase::abierto:
        boton_->setText(QStringLiteral("Abriendo…"));
        break;
    }
    const bool bien = f == Fase::instalado || f == Fase::abierto;
    estado_->fijarColor(bien ? Marca::bien : fallida ? Marca::mal : Marca::papel);

    if (ejemplo && !inicio && f != Fase::abierto) {
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
        empezar();
        break;
    case Fase::instalado:
    case Fase::noAbrio:
        abrirYEsperar();
        break;
    case Fase::instalando:
    case Fase::abriendo:
    case Fase::abierto:
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
    QMessageBox pregunta(ventana_.get());
    pregunta.setIcon(QMessageBox::NoIcon);
    pregunta.setTextFormat(Qt::PlainText);
    pregunta.setText(QStringLiteral("La instalación todavía no terminó."));
    pregunta.setInformativeText(QStringLiteral("¿Cancelarla? Se puede volver a empezar después: lo "
                                               "ya descargado no se vuelve a descargar."));
    QPushButton* cancelar =
        pregunta.addButton(QStringLiteral("Cancelar la instalación"), QMessageBox::AcceptRole);
    QPushButton* seguir = pregunta.addButton(QStringLiteral("Seguir"), QMessageBox::RejectRole);
    // As in every Mac dialog: Return for the default, Escape (and ⌘.) to go on.
    pregunta.setDefaultButton(cancelar);
    pregunta.setEscapeButton(seguir);
    pregunta.setObjectName(QStringLiteral("preguntaCerrar"));
    pregunta.exec();
    if (pregunta.clickedButton() != cancelar)
        return false;
    cancelarInstalacion();
    return true;
}
