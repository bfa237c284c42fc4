// Installing: the run's start, its lines on the window, and its end.
#include "app/delegado.h"
#include "base/texto.h"
#include "installer/instalacion.h"
#include "placement/colocacion.h"
#include "ui/marca.h"
#include "ui/vistas.h"

#include <QDir>
#include <QSaveFile>
#include <QTimer>

void Delegado::empezar() {
    paso_ = 0;
    avance_ = 0.0;
    barra_->fijarValor(0.0);
    mostrar(Fase::instalando);
    estado_->fijarTexto(actualizando_ ? QStringLiteral("Actualizando VARNO…")
                                      : QStringLiteral("Preparando…"));
    detalle_->fijarTexto(QString());

    QDir().mkpath(g_.DATOS);
    // Each run replaces the log whole, so it always holds exactly one run.
    const QByteArray linea = cabeceraRegistro(g_.VERSION, QDateTime::currentDateTimeUtc()).toUtf8();
    QSaveFile cabecera(g_.REGISTRO);
    // Flushed first: a commit would put an empty file in place of the last log
    // when only the flush meets a full disk.
    if (!cabecera.open(QIODevice::WriteOnly) || cabecera.write(linea) != linea.size() ||
        !cabecera.flush() || !cabecera.commit()) {
        // A folder that takes no new file may still hold a log we can write:
        // it is then replaced in place, or the run would be appended to the last one.
        QFile enSuSitio(g_.REGISTRO);
        if (enSuSitio.open(QIODevice::WriteOnly | QIODevice::Truncate))
            enSuSitio.write(linea);
    }

    Instalacion::Parametros p = parametrosDelInstalador(
        g_, reparando_ ? aReparar(informe_) : QString(), tiempos_.graciaInstalador);
    // A run that is still being torn down must not outlive its replacement.
    soltarInstalacion();
    auto* nueva = new Instalacion(std::move(p), this, this);
    if (!cola_.isRunning())
        cola_.start();
    nueva->moveToThread(&cola_);
    proceso_ = nueva;
    QMetaObject::invokeMethod(nueva, &Instalacion::arrancar, Qt::QueuedConnection);
}

void Delegado::lineas(const Trozo& t) {
    // Nothing is painted between two lines of one chunk, so the labels take
    // only the chunk's last header and last detail, and the bar its end.
    Progreso p{paso_, avance_};
    bool alguna = false;
    std::optional<LecturaLinea> cabecera;
    std::optional<QStringView> ultimoDetalle;
    for (qsizetype i = 0; i < t.cuantas(); ++i) {
        const LecturaLinea l = leerLinea(t.linea(i), p);
        if (l.tipo == LecturaLinea::blanca)
            continue;
        alguna = true;
        p = l.progreso;
        if (l.tipo == LecturaLinea::cabecera)
            cabecera = l;
        else
            ultimoDetalle = l.texto;
    }
    if (!alguna)
        return;
    paso_ = p.paso;
    avance_ = p.avance;
    if (cabecera)
        estado_->fijarTexto(textoDeCabecera(cabecera->paso, cabecera->titulo));
    if (ultimoDetalle)
        detalle_->fijarTexto(textoDeDetalle(*ultimoDetalle));
    barra_->fijarValor(avance_);
}

void Delegado::termino(bool bien) {
    soltarInstalacion();
    if (bien && reparando_) {
        // A repair ends when a new verification finds the runtime sound.
        verificarMotor();
        return;
    }
    if (!bien) {
        mostrar(Fase::fallo);
        estado_->fijarTexto(QStringLiteral("No se pudo terminar la instalación."));
        detalle_->fijarTexto(detalleDeFallo(detalle_->texto()));
        return;
    }
    barra_->fijarValor(1.0);
    mostrar(Fase::instalado);
    estado_->fijarTexto(actualizando_ ? QStringLiteral("VARNO está actualizado.")
                                      : QStringLiteral("VARNO está instalado."));
    // Said only when it is true.
    const bool enElDock = !actualizando_ && ponerEnElDock(g_);
    detalle_->fijarTexto(enElDock
                             ? QStringLiteral("Se abre ahora. Quedó en el Dock y en Aplicaciones.")
                             : QStringLiteral("Se abre ahora."));
    // The engine is opened once: a click on "Abrir VARNO" in the meantime has
    // already done it.
    QTimer::singleShot(tiempos_.retrasoApertura, this, [this, antes = aperturas_] {
        if (aperturas_ == antes)
            abrirYEsperar();
    });
}

void Delegado::noEmpezo(const QString& motivo) {
    if (detalle_)
        detalle_->fijarTexto(motivo);
    termino(false);
}

bool Delegado::instaladorCorre() const {
    return proceso_ && proceso_->corre();
}

void Delegado::cancelarInstalacion() {
    if (proceso_)
        proceso_->cancelar();
}

void Delegado::soltarInstalacion() {
    if (Instalacion* vieja = proceso_.data()) {
        vieja->soltar();
        proceso_.clear();
        vieja->deleteLater();
    }
}
