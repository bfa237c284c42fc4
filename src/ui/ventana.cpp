#include "ui/ventana.h"

#include "app/delegado.h"
#include "ui/marca.h"
#include "ui/vistas.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QUrl>

namespace {
constexpr int anchoContenido = 560;
constexpr int altoContenido = 372;
} // namespace

Ventana::Ventana(QWidget* parent) : QWidget(parent) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinimizeButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(anchoContenido, altoContenido);
    QPalette paleta = palette();
    paleta.setColor(QPalette::Window, Marca::fondo);
    setPalette(paleta);
    setAutoFillBackground(true);
}

void Ventana::fijarContenido(QWidget* contenido) {
    delete contenido_;
    contenido_ = contenido;
    contenido_->setParent(this);
    contenido_->setGeometry(0, 0, anchoContenido, altoContenido);
}

void Ventana::closeEvent(QCloseEvent* e) {
    if (alCerrar && !alCerrar())
        e->ignore();
    else
        e->accept();
}

void abrirArchivo(const QString& ruta) { QDesktopServices::openUrl(QUrl::fromLocalFile(ruta)); }

void Delegado::construir() {
    auto v = std::make_unique<Ventana>();
    v->setWindowTitle(QStringLiteral("Instalar VARNO"));
    v->alCerrar = [d = QPointer<Delegado>(this)] { return !d || d->windowShouldClose(); };

    auto* plano = new Plano;
    QPalette paleta = plano->palette();
    paleta.setColor(QPalette::Window, Marca::fondo);
    plano->setPalette(paleta);
    plano->setAutoFillBackground(true);
    v->fijarContenido(plano);

    auto* logo = new Logo;
    logo->setGeometry(36, 30, 58, 58);
    auto* nombre = etiqueta(QStringLiteral("VARNO"), 38, Peso::heavy, Qt::white);
    nombre->setGeometry(98, 32, 300, 52);
    auto* lema1 = etiqueta(QStringLiteral("Todos los drops de la noche,"), 17, Peso::semibold,
                           Marca::papel);
    lema1->setGeometry(40, 108, 480, 24);
    auto* lema2 =
        etiqueta(QStringLiteral("listos para publicar."), 17, Peso::semibold, Marca::naranja);
    lema2->setGeometry(40, 132, 480, 24);

    auto* nuevaInfo = etiqueta(
        QStringLiteral("La primera vez instala lo que VARNO necesita (Python, ffmpeg y las "
                       "bibliotecas): descarga unos 2 GB y puede tardar un rato. No pide la "
                       "contraseña."),
        12.5, Peso::regular, Marca::tiza);
    nuevaInfo->fijarLineasMaximas(3);
    nuevaInfo->setGeometry(40, 178, 480, 54);

    auto* nuevoEstado = etiqueta(QString(), 13.5, Peso::semibold, Marca::papel);
    nuevoEstado->setGeometry(40, 186, 480, 20);

    auto* nuevaBarra = new Barra;
    nuevaBarra->setGeometry(40, 218, 480, 6);

    auto* nuevoDetalle = etiqueta(QString(), 11.5, Peso::regular, Marca::tiza);
    nuevoDetalle->fijarLineasMaximas(2);
    nuevoDetalle->setGeometry(40, 234, 480, 36);

    auto* nuevoBoton = new Boton;
    nuevoBoton->setGeometry(40, 296, 150, 42);
    nuevoBoton->accion = [d = QPointer<Delegado>(this)] {
        if (d)
            d->alBoton();
    };

    auto* nuevoRegistro = new Boton;
    nuevoRegistro->setGeometry(204, 296, 150, 42);
    nuevoRegistro->fijarSecundario(true);
    nuevoRegistro->fijarTitulo(QStringLiteral("Ver el registro"));
    const QString registro = g.REGISTRO;
    const QString mesa = g.MESA_LOG;
    nuevoRegistro->accion = [d = QPointer<Delegado>(this), registro, mesa] {
        abrirArchivo(d && d->noAbrio ? mesa : registro);
    };

    for (QWidget* w : std::initializer_list<QWidget*>{logo, nombre, lema1, lema2, nuevaInfo,
                                                      nuevoEstado, nuevaBarra, nuevoDetalle,
                                                      nuevoBoton, nuevoRegistro})
        w->setParent(plano);

    ventana = std::move(v);
    info = nuevaInfo;
    estado = nuevoEstado;
    barra = nuevaBarra;
    detalle = nuevoDetalle;
    boton = nuevoBoton;
    registroBoton = nuevoRegistro;
    mostrar(0, false);
}
