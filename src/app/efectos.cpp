// The effects of the launcher's transitions: the long work and the short jobs
// they start, and what each tells back as the next event.
#include "app/delegado.h"

#include "base/archivos.h"
#include "engine/espera.h"
#include "engine/motor.h"
#include "installer/instalacion.h"
#include "maintenance/textos.h"
#include "maintenance/verificador.h"
#include "placement/colocacion.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

void Delegado::hacer(Efecto efecto) {
    switch (efecto) {
    case Efecto::instalar:
        return instalar();
    case Efecto::ponerEnElDock:
        // `defaults` and `killall` may take their time: never on this thread.
        return aparte_.correr([g = g_] { return ponerEnElDock(g); },
                              [this](bool puesto) { aplicar(enElDock(e_, puesto)); });
    case Efecto::abrirMotor:
        return abrirMotor();
    case Efecto::abrirEnUnMomento:
        QTimer::singleShot(tiempos_.retrasoApertura, this, [this] { aplicar(trasLaPausa(e_)); });
        return;
    case Efecto::salirEnUnMomento:
        QTimer::singleShot(tiempos_.retrasoSalida, this, [] { QCoreApplication::quit(); });
        return;
    case Efecto::describir:
        // Python and ffmpeg are asked for their versions.
        return aparte_.correr([g = g_] { return describir(g); },
                              [this](const Instalado& i) { aplicar(descrito(e_, i)); });
    case Efecto::verificar:
        return verificar();
    case Efecto::preguntarSiEliminar:
        return preguntarSiEliminar();
    case Efecto::verInforme:
        return verInforme();
    case Efecto::verRegistro:
        return abrirArchivo(g_.REGISTRO);
    case Efecto::verSalidaDelMotor:
        return abrirArchivo(registroDelMotor(g_).ruta);
    }
}

void Delegado::empezar() {
    aplicar(alEmpezar(e_));
}

void Delegado::instalar() {
    // A run that is still being torn down must not outlive its replacement.
    delete instalacion_.data();
    auto* run =
        new Instalacion(parametrosDelInstalador(g_, e_.reparando ? aReparar(e_.informe) : QString(),
                                                tiempos_.graciaInstalador),
                        this);
    instalacion_ = run;
    connect(run, &Instalacion::lineas, this, &Delegado::lineas);
    // The run is let go after its end, from the event loop: not inside its own signal.
    connect(run, &Instalacion::termino, this, [this, run](bool bien) {
        run->deleteLater();
        aplicar(alTerminarInstalacion(e_, bien));
    });
    connect(run, &Instalacion::noEmpezo, this, [this, run](const QString& motivo) {
        run->deleteLater();
        aplicar(alNoEmpezar(e_, motivo));
    });
    run->arrancar();
}

bool Delegado::instaladorCorre() const {
    return instalacion_ && instalacion_->corre();
}

void Delegado::cancelarInstalacion() {
    if (instalacion_)
        instalacion_->cancelar();
}

void Delegado::abrirYEsperar() {
    aplicar(alAbrir(e_));
}

void Delegado::abrirMotor() {
    const std::optional<qint64> motor = abrirVARNO(g_);
    espera_ = std::make_unique<EsperaMotor>(g_, tiempos_, motor, std::chrono::steady_clock::now());
    EsperaMotor* e = espera_.get();
    connect(e, &EsperaMotor::avanza, this, [this](double v) { aplicar(conEspera(e_, v)); });
    connect(e, &EsperaMotor::abrio, this, [this] { aplicar(alAbrirElMotor(e_)); });
    connect(e, &EsperaMotor::noAbrio, this, [this] {
        aplicar(alNoAbrirElMotor(e_, registroDelMotor(g_).linea.value_or(
                                         QStringLiteral("El motivo está en el registro."))));
    });
    connect(e, &EsperaMotor::puertoAjeno, this, [this] {
        aplicar(alNoAbrirElMotor(
            e_, QStringLiteral("Otro programa, de otro usuario, ocupa el puerto 8770.")));
    });
}

bool Delegado::opcionPulsada() {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier);
}

void Delegado::mantener() {
    aplicar(alMantener(e_, hayInstalacionAnterior()));
}

void Delegado::verificar() {
    // Closing the window stops it: the delegate goes, and the work with it.
    verificador_ = std::make_unique<Verificador>(g_);
    connect(verificador_.get(), &Verificador::avanza, this,
            [this](const AvanceVerificacion& a) { aplicar(conAvance(e_, a)); });
    connect(verificador_.get(), &Verificador::termino, this,
            [this](const Informe& i) { aplicar(verificado(e_, i)); });
    verificador_->arrancar();
}

void Delegado::verInforme() {
    const QString ruta = g_.DATOS + QStringLiteral("/informe-mantenimiento.txt");
    if (escribirEntero(ruta, textoDelInforme(e_.informe, g_.VERSION).toUtf8()).bien())
        abrirArchivo(ruta);
    else
        e_.detalle = QStringLiteral("No se pudo escribir el informe en %1.").arg(ruta), pintar();
}

void Delegado::preguntarSiEliminar() {
    // Removing is never the default: Return, like Escape, keeps it.
    if (!preguntar(ventana_.get(), QStringLiteral("¿Eliminar el motor de VARNO?"),
                   QStringLiteral("Python, ffmpeg y las bibliotecas (%1) van a la Papelera. Tu "
                                  "trabajo en la carpeta app y los registros se quedan.")
                       .arg(tamano(e_.instalado.bytes)),
                   QStringLiteral("Eliminar el motor"), QStringLiteral("Cancelar"), false))
        return;
    // The probe and the moves may take their time: never on this thread.
    aparte_.correr([g = g_] { return eliminarMotorCerrado(g); },
                   [this](const Resultado<qint64>& r) { aplicar(eliminado(e_, r)); });
}
