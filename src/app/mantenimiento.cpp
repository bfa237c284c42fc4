// Maintenance on the window: what is installed, verifying, repairing and removing.
#include "app/delegado.h"
#include "maintenance/textos.h"
#include "ui/marca.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QGuiApplication>
#include <QSaveFile>

bool Delegado::opcionPulsada() {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier);
}

void Delegado::mantener() {
    // Nothing to maintain: the first installation instead.
    if (!hayInstalacionAnterior()) {
        mostrar(Fase::inicio);
        return;
    }
    mostrar(Fase::mantenimiento);
    estado_->fijarTexto(QStringLiteral("El motor de VARNO está instalado."));
    detalle_->fijarTexto(QStringLiteral("Mirando qué hay instalado…"));
    // Python and ffmpeg are asked for their versions: off the main thread.
    esperas_.start([this] {
        Instalado i = describir(g_);
        // What the removal would free, counted as the removal counts it.
        i.bytes = tamanoDelMotor(g_);
        publicar([this, i] {
            instalado_ = i;
            if (fase_ != Fase::mantenimiento)
                return;
            if (!i.version.isEmpty())
                estado_->fijarTexto(
                    QStringLiteral("El motor de VARNO %1 está instalado.").arg(i.version));
            detalle_->fijarTexto(descripcion(i));
        });
    });
}

void Delegado::verificarMotor() {
    mostrar(Fase::verificando);
    estado_->fijarTexto(QStringLiteral("Verificando el motor…"));
    detalle_->fijarTexto(QStringLiteral("Contando los archivos…"));
    barra_->fijarValor(0.0);
    // Closing the window stops it: the delegate goes, and the work with it.
    esperas_.start([this] {
        const Informe informe = verificar(g_, cerrando_, [this](const AvanceVerificacion& a) {
            publicar([this, a] {
                if (fase_ != Fase::verificando)
                    return;
                barra_->fijarValor(fraccion(a));
                detalle_->fijarTexto(textoDeAvance(a));
            });
        });
        publicar([this, informe] {
            informe_ = informe;
            const bool trasReparar = std::exchange(reparando_, false);
            mostrar(informe.sano() ? Fase::sano : Fase::averiado);
            barra_->fijarValor(1.0);
            estado_->fijarTexto(trasReparar && informe.sano()
                                    ? QStringLiteral("El motor quedó reparado.")
                                    : estadoDelInforme(informe));
            detalle_->fijarTexto(detalleDelInforme(informe));
        });
    });
}

void Delegado::reparar() {
    reparando_ = true;
    empezar();
}

void Delegado::verInforme() {
    const QString ruta = g_.DATOS + QStringLiteral("/informe-mantenimiento.txt");
    QSaveFile f(ruta);
    const QByteArray texto = textoDelInforme(informe_, g_.VERSION).toUtf8();
    if (f.open(QIODevice::WriteOnly) && f.write(texto) == texto.size() && f.commit())
        abrirArchivo(ruta);
    else
        detalle_->fijarTexto(QStringLiteral("No se pudo escribir el informe en %1.").arg(ruta));
}

void Delegado::eliminar() {
    // Removing is never the default: Return, like Escape, keeps it.
    if (!preguntar(ventana_.get(), QStringLiteral("¿Eliminar el motor de VARNO?"),
                   QStringLiteral("Python, ffmpeg y las bibliotecas (%1) van a la Papelera. Tu "
                                  "trabajo en la carpeta app y los registros se quedan.")
                       .arg(tamano(instalado_.bytes)),
                   QStringLiteral("Eliminar el motor"), QStringLiteral("Cancelar"), false))
        return;
    // The engine's own files must not go while it runs from them.
    const Eliminacion e = motorResponde()
                              ? Eliminacion{false, 0,
                                            QStringLiteral("VARNO está abierto: ciérralo antes "
                                                           "de eliminar el motor.")}
                              : eliminarMotor(g_);
    if (!e.bien) {
        estado_->fijarTexto(QStringLiteral("No se pudo eliminar el motor."));
        estado_->fijarColor(Marca::mal);
        detalle_->fijarTexto(e.fallo);
        return;
    }
    mostrar(Fase::eliminado);
    estado_->fijarTexto(QStringLiteral("El motor está en la Papelera."));
    detalle_->fijarTexto(
        QStringLiteral("Al vaciarla se liberan %1. La próxima vez, VARNO lo instalará de nuevo.")
            .arg(tamano(e.bytes)));
}
