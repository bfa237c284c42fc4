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
    instalando = true;
    listo = false;
    paso = 0;
    avance = 0.0;
    barra->fijarValor(0.0);
    mostrar(1, false);
    estado->fijarTexto(actualizando ? QStringLiteral("Actualizando VARNO…")
                                    : QStringLiteral("Preparando…"));
    detalle->fijarTexto(QString());

    QDir().mkpath(g.DATOS);
    // Each run replaces the log whole, so it always holds exactly one run.
    const QByteArray linea = cabeceraRegistro(g.VERSION, QDateTime::currentDateTimeUtc()).toUtf8();
    QSaveFile cabecera(g.REGISTRO);
    // Flushed first: a commit would put an empty file in place of the last log
    // when only the flush meets a full disk.
    if (!cabecera.open(QIODevice::WriteOnly) || cabecera.write(linea) != linea.size() ||
        !cabecera.flush() || !cabecera.commit()) {
        // A folder that takes no new file may still hold a log we can write:
        // it is then replaced in place, or the run would be appended to the last one.
        QFile enSuSitio(g.REGISTRO);
        if (enSuSitio.open(QIODevice::WriteOnly | QIODevice::Truncate))
            enSuSitio.write(linea);
    }

    const QString paquete = QDir(g.RECURSOS).filePath(QStringLiteral("paquete"));
    Instalacion::Parametros p{
        g.herramientas.bash, paquete + QStringLiteral("/instalar_mac.sh"), g.REGISTRO,
        entornoInstalador(QProcessEnvironment::systemEnvironment(), paquete, g.VERSION),
        tiempos.graciaInstalador};
    // A run that is still being torn down must not outlive its replacement.
    soltarInstalacion();
    auto* nueva = new Instalacion(std::move(p), this, this);
    if (!cola.isRunning())
        cola.start();
    nueva->moveToThread(&cola);
    proceso = nueva;
    QMetaObject::invokeMethod(nueva, &Instalacion::arrancar, Qt::QueuedConnection);
}

void Delegado::linea(const QString& l) {
    Trozo t;
    t.primera = l;
    lineas(t);
}

void Delegado::lineas(const Trozo& t) {
    // Nothing is painted between two lines of one chunk, so the labels take
    // only the chunk's last header and last detail, and the bar its end.
    Progreso p{paso, avance};
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
    paso = p.paso;
    avance = p.avance;
    if (cabecera)
        estado->fijarTexto(textoDeCabecera(cabecera->paso, cabecera->titulo));
    if (ultimoDetalle)
        detalle->fijarTexto(textoDeDetalle(*ultimoDetalle));
    barra->fijarValor(avance);
}

void Delegado::termino(bool bien) {
    instalando = false;
    soltarInstalacion();
    if (!bien) {
        mostrar(3, false);
        estado->fijarTexto(QStringLiteral("No se pudo terminar la instalación."));
        detalle->fijarTexto(detalleDeFallo(detalle->texto()));
        return;
    }
    listo = true;
    barra->fijarValor(1.0);
    mostrar(2, false);
    estado->fijarTexto(actualizando ? QStringLiteral("VARNO está actualizado.")
                                    : QStringLiteral("VARNO está instalado."));
    // Said only when it is true.
    const bool enElDock = !actualizando && ponerEnElDock(g);
    detalle->fijarTexto(enElDock
                            ? QStringLiteral("Se abre ahora. Quedó en el Dock y en Aplicaciones.")
                            : QStringLiteral("Se abre ahora."));
    // The engine is opened once: a click on "Abrir VARNO" in the meantime has
    // already done it.
    QTimer::singleShot(tiempos.retrasoApertura, this, [this, antes = aperturas_] {
        if (aperturas_ == antes)
            abrirYEsperar();
    });
}

void Delegado::noEmpezo(const QString& motivo) {
    if (detalle)
        detalle->fijarTexto(motivo);
    termino(false);
}

bool Delegado::instaladorCorre() const {
    return proceso && proceso->corre();
}

void Delegado::cancelarInstalacion() {
    if (proceso)
        proceso->cancelar();
}

void Delegado::soltarInstalacion() {
    if (Instalacion* vieja = proceso.data()) {
        vieja->soltar();
        proceso.clear();
        vieja->deleteLater();
    }
}
