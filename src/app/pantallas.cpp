// The window: building it, its screens, its button and its close guard.
#include "app/delegado.h"

#include "engine/motor.h"
#include "ui/marca.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QMessageBox>
#include <QPushButton>

namespace {
struct Ejemplo {
    const char* estado;
    const char* detalle;
    double barra;
};
// Example contents, only for window captures.
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
    c.ventana->alCerrar = [d = QPointer<Delegado>(this)] { return !d || d->windowShouldClose(); };
    c.boton->accion = [d = QPointer<Delegado>(this)] {
        if (d)
            d->alBoton();
    };
    // The path is copied in, so the installation log still opens once the
    // delegate is gone.
    c.registroBoton->accion = [d = QPointer<Delegado>(this), registro = g.REGISTRO] {
        abrirArchivo(d && d->noAbrio ? registroDelMotor(d->g).ruta : registro);
    };
    ventana = std::move(c.ventana);
    info = c.info;
    estado = c.estado;
    detalle = c.detalle;
    barra = c.barra;
    boton = c.boton;
    registroBoton = c.registroBoton;
    mostrar(0, false);
}

void Delegado::mostrar(qint64 n, bool ejemplo) {
    // Only the screens 0 to 5 exist; any other number leaves the window as it is.
    if (n < 0 || n > 5 || !ventana)
        return;
    info->setHidden(n != 0);
    estado->setHidden(n == 0);
    barra->setHidden(n == 0);
    detalle->setHidden(n == 0);
    registroBoton->setHidden(n != 3 && n != 5);

    boton->fijarActivo(n != 1 && n != 4);
    static const QString titulos[] = {QStringLiteral("Instalar"),    QString(),
                                      QStringLiteral("Abrir VARNO"), QStringLiteral("Reintentar"),
                                      QStringLiteral("Abriendo…"),   QStringLiteral("Reintentar")};
    boton->fijarTitulo(
        n == 1 ? (actualizando ? QStringLiteral("Actualizando…") : QStringLiteral("Instalando…"))
               : titulos[n]);

    estado->fijarColor(n == 2 ? Marca::bien : (n == 3 || n == 5) ? Marca::mal : Marca::papel);

    if (ejemplo && n >= 1) {
        estado->fijarTexto(QString::fromUtf8(ejemplos[n].estado));
        detalle->fijarTexto(QString::fromUtf8(ejemplos[n].detalle));
        barra->fijarValor(ejemplos[n].barra);
    }
}

void Delegado::alBoton() {
    if (instalando || abriendo)
        return;
    if (listo || noAbrio)
        abrirYEsperar();
    else
        empezar();
}

bool Delegado::windowShouldClose() {
    if (!instalando || !instaladorCorre())
        return true;
    QMessageBox pregunta(ventana.get());
    pregunta.setIcon(QMessageBox::NoIcon);
    pregunta.setTextFormat(Qt::PlainText);
    pregunta.setText(QStringLiteral("La instalación todavía no terminó."));
    pregunta.setInformativeText(QStringLiteral("¿Cancelarla? Se puede volver a empezar después: lo "
                                               "ya descargado no se vuelve a descargar."));
    QPushButton* cancelar =
        pregunta.addButton(QStringLiteral("Cancelar la instalación"), QMessageBox::AcceptRole);
    pregunta.addButton(QStringLiteral("Seguir"), QMessageBox::RejectRole);
    pregunta.setDefaultButton(cancelar);
    pregunta.setObjectName(QStringLiteral("preguntaCerrar"));
    pregunta.exec();
    if (pregunta.clickedButton() != cancelar)
        return false;
    cancelarInstalacion();
    return true;
}
