// Opening: the engine's start, the wait on the window, and its two ends.
#include "app/delegado.h"
#include "engine/espera.h"
#include "engine/motor.h"
#include "ui/marca.h"
#include "ui/vistas.h"

#include <QCoreApplication>
#include <QTimer>

template <typename F> void Delegado::publicar(F f) {
    // The delegate waits for the loop before it goes away, so it is alive here.
    if (!cerrando_.load())
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

void Delegado::abrirYEsperar() {
    abriendo = true;
    noAbrio = false;
    ++aperturas_;
    mostrar(4, false);
    estado->fijarTexto(QStringLiteral("Abriendo VARNO…"));
    detalle->fijarTexto(QStringLiteral("La primera vez puede tardar uno o dos minutos."));
    barra->fijarValor(curvaEspera(0));
    const std::optional<qint64> motor = abrirVARNO(g);
    const auto inicio = std::chrono::steady_clock::now();
    esperas_.start(
        [this, motor, inicio] { esperarMotor(g, tiempos, motor, inicio, cerrando_, *this); });
}

void Delegado::esperaAvanza(double valor) {
    publicar([this, valor] {
        if (barra)
            barra->fijarValor(valor);
    });
}

void Delegado::motorAbrio() {
    publicar([this] { abrio(); });
}

void Delegado::motorNoAbrio() {
    publicar([this] { noArranco(); });
}

void Delegado::puertoAjeno() {
    publicar([this] {
        noArranco(QStringLiteral("Otro programa, de otro usuario, ocupa el puerto 8770."));
    });
}

void Delegado::abrio() {
    abriendo = false;
    barra->fijarValor(1.0);
    estado->fijarTexto(QStringLiteral("VARNO está abierto."));
    estado->fijarColor(Marca::bien);
    detalle->fijarTexto(QStringLiteral("La ventana de VARNO aparece en unos segundos."));
    QTimer::singleShot(tiempos.retrasoSalida, this, [] { QCoreApplication::quit(); });
}

void Delegado::noArranco(const std::optional<QString>& motivo) {
    abriendo = false;
    noAbrio = true;
    mostrar(5, false);
    estado->fijarTexto(QStringLiteral("VARNO no pudo abrirse."));
    detalle->fijarTexto(motivo ? *motivo
                               : registroDelMotor(g).linea.value_or(
                                     QStringLiteral("El motivo está en el registro.")));
}
