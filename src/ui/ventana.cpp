#include "ui/ventana.h"

#include "ui/accesibilidad.h"
#include "ui/marca.h"
#include "ui/vistas.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <dlfcn.h>
#include <type_traits>

namespace {
// Two AppKit settings Qt has no API for: a title bar that shows the window's
// background, and the dark appearance. Reached through the Objective-C runtime
// that Qt's platform plugin has already loaded, so that this file stays C++ and
// needs no extra library; where the runtime is absent it does nothing.
[[maybe_unused]] void ajustarVentanaDeMac(WId vista) {
    using Id = void*;
    static const auto clase =
        reinterpret_cast<Id (*)(const char*)>(dlsym(RTLD_DEFAULT, "objc_getClass"));
    static const auto selector =
        reinterpret_cast<Id (*)(const char*)>(dlsym(RTLD_DEFAULT, "sel_registerName"));
    static void* const enviar = dlsym(RTLD_DEFAULT, "objc_msgSend");
    if (!clase || !selector || !enviar || !vista)
        return;
    // objc_msgSend must be called through a pointer of the method's exact type.
    const auto mensaje = [](auto resultado, Id objeto, const char* nombre, auto... argumentos) {
        using Funcion = typename decltype(resultado)::type (*)(Id, Id, decltype(argumentos)...);
        return reinterpret_cast<Funcion>(enviar)(objeto, selector(nombre), argumentos...);
    };
    constexpr std::type_identity<Id> objeto;
    constexpr std::type_identity<void> nada;

    const Id ventana = mensaje(objeto, reinterpret_cast<Id>(vista), "window");
    if (!ventana)
        return;
    mensaje(nada, ventana, "setTitlebarAppearsTransparent:", true);
    const Id nombre =
        mensaje(objeto, clase("NSString"), "stringWithUTF8String:", "NSAppearanceNameDarkAqua");
    if (const Id apariencia = mensaje(objeto, clase("NSAppearance"), "appearanceNamed:", nombre))
        mensaje(nada, ventana, "setAppearance:", apariencia);
    // CGFloat arguments: doubles, exactly k/255.
    const QColor f = Marca::fondo;
    const Id color =
        mensaje(objeto, clase("NSColor"), "colorWithSRGBRed:green:blue:alpha:", f.red() / 255.0,
                f.green() / 255.0, f.blue() / 255.0, 1.0);
    if (color)
        mensaje(nada, ventana, "setBackgroundColor:", color);
}

void pintarFondo(QWidget* w) {
    QPalette paleta = w->palette();
    paleta.setColor(QPalette::Window, Marca::fondo);
    w->setPalette(paleta);
    w->setAutoFillBackground(true);
}
} // namespace

Ventana::Ventana(QWidget* parent)
    : QWidget(parent) {
    // Titled, closable and minimisable; the fixed size makes it not resizable.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    setFixedSize(ancho, alto);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, true);
    pintarFondo(this);
    instalarAccesibilidad();
}

void Ventana::fijarContenido(QWidget* contenido) {
    delete contenido_;
    contenido_ = contenido;
    contenido_->setParent(this);
    contenido_->setGeometry(0, 0, ancho, alto);
}

void Ventana::closeEvent(QCloseEvent* e) {
    e->accept();
    emit cierre(e);
}

void Ventana::keyPressEvent(QKeyEvent* e) {
    const bool intro = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (intro && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && predeterminado_ &&
        predeterminado_->isVisible() && predeterminado_->isEnabled()) {
        predeterminado_->click();
        return;
    }
    QWidget::keyPressEvent(e);
}

void Ventana::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
#ifdef Q_OS_MACOS
    ajustarVentanaDeMac(winId());
#endif
}

bool preguntar(QWidget* padre, const QString& texto, const QString& detalle, const QString& si,
               const QString& no, bool siPorDefecto) {
    QMessageBox pregunta(padre);
    pregunta.setIcon(QMessageBox::NoIcon);
    pregunta.setTextFormat(Qt::PlainText);
    pregunta.setText(texto);
    pregunta.setInformativeText(detalle);
    QPushButton* boton = pregunta.addButton(si, QMessageBox::AcceptRole);
    QPushButton* otro = pregunta.addButton(no, QMessageBox::RejectRole);
    pregunta.setDefaultButton(siPorDefecto ? boton : otro);
    pregunta.setEscapeButton(otro);
    pregunta.exec();
    return pregunta.clickedButton() == boton;
}

void abrirArchivo(const QString& ruta) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(ruta));
}

VentanaConstruida construirVentana() {
    auto v = std::make_unique<Ventana>();
    v->setWindowTitle(QStringLiteral("Instalar VARNO"));

    auto* plano = new Plano;
    pintarFondo(plano);
    v->fijarContenido(plano);

    auto* logo = new Logo;
    logo->setGeometry(36, 30, 58, 58);
    auto* nombre = etiqueta(QStringLiteral("VARNO"), 38, Peso::heavy, Qt::white);
    nombre->setGeometry(98, 32, 300, 52);
    auto* lema1 =
        etiqueta(QStringLiteral("Todos los drops de la noche,"), 17, Peso::semibold, Marca::papel);
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

    auto* nuevoRegistro = new Boton;
    nuevoRegistro->setGeometry(204, 296, 150, 42);
    nuevoRegistro->fijarSecundario(true);
    nuevoRegistro->setText(QStringLiteral("Ver el registro"));
    v->fijarPredeterminado(nuevoBoton);

    // Named, so that tests and accessibility inspectors find them.
    nuevaInfo->setObjectName(QStringLiteral("info"));
    nuevoEstado->setObjectName(QStringLiteral("estado"));
    nuevoDetalle->setObjectName(QStringLiteral("detalle"));
    nuevaBarra->setObjectName(QStringLiteral("barra"));
    nuevoBoton->setObjectName(QStringLiteral("boton"));
    nuevoRegistro->setObjectName(QStringLiteral("registroBoton"));

    // Later views draw above earlier ones.
    for (QWidget* w :
         std::initializer_list<QWidget*>{logo, nombre, lema1, lema2, nuevaInfo, nuevoEstado,
                                         nuevaBarra, nuevoDetalle, nuevoBoton, nuevoRegistro})
        w->setParent(plano);

    return {std::move(v), nuevaInfo,  nuevoEstado,  nuevoDetalle,
            nuevaBarra,   nuevoBoton, nuevoRegistro};
}

void mostrarEnElCentro(QWidget* w) {
    // The content is centred: before the window is shown, the frame the
    // window manager will add is not known yet.
    if (const QScreen* pantalla = QGuiApplication::primaryScreen()) {
        QRect contenido(QPoint(), w->size());
        contenido.moveCenter(pantalla->availableGeometry().center());
        w->setGeometry(contenido);
    }
    w->show();
    w->raise();
    w->activateWindow();
}

bool traerAlFrente(QWidget* w) {
    if (!w || !w->isVisible())
        return false;
    w->showNormal();
    w->raise();
    w->activateWindow();
    return true;
}
