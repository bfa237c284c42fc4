#include "installer/instalacion.h"

#include "base/texto.h"

#include <csignal>
#include <unistd.h>

Instalacion::Instalacion(Parametros p, QObject* contexto, OyenteInstalacion* oyente)
    : p_(std::move(p))
    , contexto_(contexto)
    , oyente_(oyente) {}

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
        contexto_,
        [o = oyente_, trozo = std::move(trozo), enCamino = enCamino_] {
            o->lineas(trozo);
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
        contexto_, [o = oyente_, bien] { o->termino(bien); }, Qt::QueuedConnection);
}

void Instalacion::alFallar(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart || terminada_)
        return;
    terminada_ = true;
    registro_.close();
    corre_ = false;
    const QString motivo = proceso_->errorString();
    QMetaObject::invokeMethod(
        contexto_, [o = oyente_, motivo] { o->noEmpezo(motivo); }, Qt::QueuedConnection);
}
