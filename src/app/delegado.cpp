// The delegate's life, the launch decision's actions and the window's showing.
#include "app/delegado.h"
#include "app/opciones.h"

#include "artwork/arte.h"
#include "base/proceso.h"
#include "engine/espera.h"
#include "engine/motor.h"
#include "engine/partes.h"
#include "installer/instalacion.h"
#include "maintenance/verificador.h"
#include "placement/colocacion.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QApplication>
#include <QScreen>
#include <QThreadPool>
#include <QTimer>
#include <cstdio>

Delegado::Delegado(Globales globalesDados, Tiempos t, QObject* parent)
    : QObject(parent)
    , g_(std::move(globalesDados))
    , tiempos_(t) {}

Delegado::~Delegado() {
    // The long work ends here, before anything it could reach is gone: each
    // object stops and waits for its own thread.
    cerrando_ = true;
    aparte_.waitForDone();
    delete instalacion_.data();
    espera_.reset();
    verificador_.reset();
}

void Delegado::applicationDidFinishLaunching(const Opciones& opciones) {
    noMover_ = opciones.noMover;
    decidirArranque(opciones, *this);
}

QString Delegado::escribirIcono(const QString& ruta) {
    return guardarIcono(ruta);
}

QString Delegado::escribirFondoDmg(const QString& ruta, double escala) {
    return guardarFondoDmg(ruta, escala);
}

QString Delegado::escribirCaptura(const QString& ruta, qint64 pantalla) {
    construir();
    const QList<Captura> todas = capturas();
    // A screen that does not exist is not captured: nothing is written.
    if (pantalla < 0 || pantalla >= todas.size())
        return QStringLiteral("la pantalla %1 no existe (son de la 0 a la %2)")
            .arg(pantalla)
            .arg(todas.size() - 1);
    e_ = todas[pantalla].estado;
    pintar();
    return captura(ventana_->contenido(), ruta);
}

void Delegado::avisar(const QString& linea) {
    std::fputs(qPrintable(linea + u'\n'), stderr);
}

void Delegado::salir(int estado) {
    QCoreApplication::exit(estado);
}

bool Delegado::moverAAplicaciones() {
    const Mudanza m = ::moverAAplicaciones(g_, noMover_);
    if (!m.fallo.isEmpty()) {
        avisar(m.fallo);
        e_.aviso = m.fallo;
    }
    return m.reiniciar;
}

void Delegado::terminar() {
    QCoreApplication::quit();
}

void Delegado::programarExpulsion(const QString& volumen) {
    const Herramientas h = g_.herramientas;
    QTimer::singleShot(tiempos_.retrasoExpulsion, this, [h, volumen] {
        QThreadPool::globalInstance()->start([h, volumen] {
            // Only a disk image: never an external or network drive VARNO was run from.
            if (esImagenMontada(volumen, h))
                correr(h.hdiutil, {QStringLiteral("detach"), volumen, QStringLiteral("-quiet")});
        });
    });
}

bool Delegado::estaInstalado() {
    return estadoDelMotor(g_) == EstadoDelMotor::instalado;
}
bool Delegado::motorResponde() {
    return responde(g_);
}
void Delegado::lanzarMotor() {
    abrirVARNO(g_);
}

bool Delegado::hayInstalacionAnterior() {
    return estadoDelMotor(g_) >= EstadoDelMotor::anterior;
}

void Delegado::fijarActualizando(bool valor) {
    e_.actualizando = valor;
}

bool Delegado::mostrarVentana(const QString& titulo) {
    if (sinPantalla) {
        std::fputs("VARNO necesita una pantalla para mostrar su ventana y no encontró ninguna "
                   "(DISPLAY o WAYLAND_DISPLAY).\n",
                   stderr);
        salir(1);
        return false;
    }
    construir();
    if (!titulo.isEmpty())
        ventana_->setWindowTitle(titulo);
    pintar();
    // The content is centred: before the window is shown, the frame the
    // window manager will add is not known yet.
    if (const QScreen* pantalla = QGuiApplication::primaryScreen()) {
        QRect contenido(QPoint(), ventana_->size());
        contenido.moveCenter(pantalla->availableGeometry().center());
        ventana_->setGeometry(contenido);
    }
    ventana_->show();
    ventana_->raise();
    ventana_->activateWindow();
    return true;
}

bool Delegado::traerAlFrente() {
    if (!ventana_ || !ventana_->isVisible())
        return false;
    ventana_->showNormal();
    ventana_->raise();
    ventana_->activateWindow();
    return true;
}
