// The delegate's life, the launch decision's actions and the window's showing.
#include "app/delegado.h"
#include "app/opciones.h"

#include "artwork/arte.h"
#include "engine/espera.h"
#include "engine/motor.h"
#include "engine/partes.h"
#include "installer/instalacion.h"
#include "maintenance/verificador.h"
#include "placement/colocacion.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QApplication>
#include <cstdio>

Delegado::Delegado(Globales globalesDados, Tiempos t, QObject* parent)
    : QObject(parent)
    , g_(std::move(globalesDados))
    , tiempos_(t) {}

Delegado::~Delegado() {
    // The long work ends here, before anything it could reach is gone: each
    // object stops and waits for its own thread.
    delete instalacion_.data();
    espera_.reset();
    verificador_.reset();
}

void Delegado::applicationDidFinishLaunching(const Opciones& opciones) {
    noMover_ = opciones.noMover;
    decidirArranque(opciones, *this);
}

Resultado<> Delegado::escribirIcono(const QString& ruta) {
    return guardarIcono(ruta);
}

Resultado<> Delegado::escribirFondoDmg(const QString& ruta, double escala) {
    return guardarFondoDmg(ruta, escala);
}

Resultado<> Delegado::escribirCaptura(const QString& ruta, qint64 pantalla) {
    construir();
    const QList<Captura> todas = capturas();
    // A screen that does not exist is not captured: nothing is written.
    if (pantalla < 0 || pantalla >= todas.size())
        return Resultado<>::fallo(QStringLiteral("la pantalla %1 no existe (son de la 0 a la %2)")
                                      .arg(pantalla)
                                      .arg(todas.size() - 1));
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

void Delegado::moverAAplicaciones(std::function<void(bool)> luego) {
    aparte_.correr([g = g_, noMover = noMover_] { return ::moverAAplicaciones(g, noMover); },
                   [this, luego = std::move(luego)](const Resultado<bool>& m) {
                       if (!m.bien()) {
                           avisar(m.motivo());
                           e_.aviso = m.motivo();
                       }
                       luego(m.bien() && m.valor());
                   });
}

void Delegado::terminar() {
    QCoreApplication::quit();
}

void Delegado::programarExpulsion(const QString& volumen) {
    expulsarMasTarde(volumen, g_.herramientas, tiempos_.retrasoExpulsion, this);
}

bool Delegado::estaInstalado() {
    return estadoDelMotor(g_) == EstadoDelMotor::instalado;
}
void Delegado::sondearMotor(std::function<void(bool)> luego) {
    aparte_.correr([g = g_] { return responde(g); }, std::move(luego));
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
    mostrarEnElCentro(ventana_.get());
    return true;
}

bool Delegado::traerAlFrente() {
    return ::traerAlFrente(ventana_.get());
}
