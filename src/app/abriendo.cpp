// Opening: the engine's start, the wait on the window, and its two ends.
#include "app/delegado.h"
#include "engine/espera.h"
#include "engine/motor.h"
#include "ui/vistas.h"

#include <QCoreApplication>
#include <QTimer>

void Delegado::abrirYEsperar() {
    ++aperturas_;
    mostrar(Fase::abriendo);
    estado_->fijarTexto(QStringLiteral("Abriendo VARNO…"));
    detalle_->fijarTexto(QStringLiteral("La primera vez puede tardar uno o dos minutos."));
    barra_->fijarValor(curvaEspera(0));
    const std::optional<qint64> motor = abrirVARNO(g_);
    const auto inicio = std::chrono::steady_clock::now();
    esperas_.start(
        [this, motor, inicio] { esperarMotor(g_, tiempos_, motor, inicio, cerrando_, *this); });
}

void Delegado::esperaAvanza(double valor) {
    publicar([this, valor] {
        if (barra_)
            barra_->fijarValor(valor);
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
    mostrar(Fase::abierto);
    barra_->fijarValor(1.0);
    estado_->fijarTexto(QStringLiteral("VARNO está abierto."));
    detalle_->fijarTexto(QStringLiteral("La ventana de VARNO aparece en unos segundos."));
    QTimer::singleShot(tiempos_.retrasoSalida, this, [] { QCoreApplication::quit(); });
}

void Delegado::noArranco(const std::optional<QString>& motivo) {
    mostrar(Fase::noAbrio);
    estado_->fijarTexto(QStringLiteral("VARNO no pudo abrirse."));
    detalle_->fijarTexto(motivo ? *motivo
                                : registroDelMotor(g_).linea.value_or(
                                      QStringLiteral("El motivo está en el registro.")));
}
