#include "installer/instalacion.h"

#include "app/delegado.h"
#include "app/texto.h"
#include "placement/colocacion.h"
#include "ui/marca.h"
#include "ui/vistas.h"

#include <QDir>
#include <QSaveFile>
#include <QTimer>

#include <csignal>
#include <unistd.h>

Instalacion::Instalacion(Parametros p, Delegado* delegado)
    : p_(std::move(p))
    , delegado_(delegado) {}

Instalacion::~Instalacion() {
    if (proceso_) {
        // Nothing may reach the window once the run is being torn down.
        proceso_->disconnect(this);
        if (corre_.load())
            ::kill(-static_cast<pid_t>(pid_.load()), SIGKILL);
    }
}

void Instalacion::arrancar() {
    // Without a log the run goes on: output is shown but not kept.
    registro_.setFileName(p_.registro);
    if (!registro_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        registro_.setFileName(QString());

    proceso_ = new QProcess(this);
    proceso_->setProgram(p_.bash);
    proceso_->setArguments({p_.guion});
    proceso_->setProcessEnvironment(p_.entorno);
    proceso_->setProcessChannelMode(QProcess::MergedChannels);
    proceso_->setInputChannelMode(QProcess::ForwardedInputChannel);
    // The script leads its own process group, so that cancelling stops the
    // downloads it started as well.
    proceso_->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(proceso_, &QProcess::readyReadStandardOutput, this, &Instalacion::leer);
    connect(proceso_, &QProcess::finished, this, &Instalacion::alTerminar);
    connect(proceso_, &QProcess::errorOccurred, this, &Instalacion::alFallar);
    connect(proceso_, &QProcess::started, this, [this] {
        pid_ = proceso_->processId();
        corre_ = true;
    });
    proceso_->start(QIODevice::ReadOnly);
}

void Instalacion::cancelar() {
    if (corre_.load())
        ::kill(-static_cast<pid_t>(pid_.load()), SIGTERM);
}

void Instalacion::leer() {
    // The window takes lines at its own pace. While it is behind, reading
    // pauses: the pipe fills and the script waits, so memory stays bounded
    // whatever the script prints and the window's loop keeps turning.
    for (int n = enCamino_->load(); n >= maximoEnCamino; n = enCamino_->load())
        enCamino_->wait(n);
    entregar(proceso_->readAllStandardOutput());
}

void Instalacion::entregar(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return;
    if (registro_.isOpen())
        registro_.write(bytes.data(), bytes.size());
    // Each chunk is decoded by itself: a character split between two chunks
    // shows as U+FFFD while the log keeps the exact bytes.
    Trozo trozo = encuadre_.trocear(decodificar(bytes));
    enCamino_->fetch_add(1);
    QMetaObject::invokeMethod(
        delegado_,
        [d = delegado_, trozo = std::move(trozo), enCamino = enCamino_] {
            d->lineas(trozo);
            enCamino->fetch_sub(1);
            enCamino->notify_one();
        },
        Qt::QueuedConnection);
}

void Instalacion::alTerminar(int codigo, QProcess::ExitStatus estado) {
    if (terminada_)
        return;
    terminada_ = true;
    // Whatever is still in the pipe is read, logged and shown before the end
    // of the run, so the failure screen is built on the script's last line.
    entregar(proceso_->readAllStandardOutput());
    registro_.close();
    corre_ = false;
    const bool bien = estado == QProcess::NormalExit && codigo == 0;
    // A failed run is retried from the start: nothing it left running (a
    // download in the background) may go on beside the retry.
    if (!bien && pid_.load() > 0)
        ::kill(-static_cast<pid_t>(pid_.load()), SIGTERM);
    QMetaObject::invokeMethod(
        delegado_, [d = delegado_, bien] { d->termino(bien); }, Qt::QueuedConnection);
}

void Instalacion::alFallar(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart || terminada_)
        return;
    terminada_ = true;
    registro_.close();
    corre_ = false;
    const QString motivo = proceso_->errorString();
    QMetaObject::invokeMethod(
        delegado_,
        [d = delegado_, motivo] {
            if (d->detalle)
                d->detalle->fijarTexto(motivo);
            d->termino(false);
        },
        Qt::QueuedConnection);
}

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
    if (!cabecera.open(QIODevice::WriteOnly) || cabecera.write(linea) != linea.size() ||
        !cabecera.commit()) {
        // A folder that takes no new file may still hold a log we can write:
        // it is then replaced in place, or the run would be appended to the last one.
        QFile enSuSitio(g.REGISTRO);
        if (enSuSitio.open(QIODevice::WriteOnly | QIODevice::Truncate))
            enSuSitio.write(linea);
    }

    const QString paquete = QDir(g.RECURSOS).filePath(QStringLiteral("paquete"));
    Instalacion::Parametros p{
        g.herramientas.bash, paquete + QStringLiteral("/instalar_mac.sh"), g.REGISTRO,
        entornoInstalador(QProcessEnvironment::systemEnvironment(), paquete, g.VERSION)};
    // A run that is still being torn down must not outlive its replacement.
    soltarInstalacion();
    auto* nueva = new Instalacion(std::move(p), this);
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
        const LecturaLinea l = leerLinea(t.linea(i), p, desde);
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
        detalle->fijarTexto(acortar(ultimoDetalle->toString(), 160));
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
    if (!actualizando)
        ponerEnElDock(g);
    detalle->fijarTexto(actualizando
                            ? QStringLiteral("Se abre ahora.")
                            : QStringLiteral("Se abre ahora. Quedó en el Dock y en Aplicaciones."));
    // The engine is opened once: a click on "Abrir VARNO" in the meantime has
    // already done it.
    QTimer::singleShot(tiempos.retrasoApertura, this, [this, antes = aperturas_] {
        if (aperturas_ == antes)
            abrirYEsperar();
    });
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
