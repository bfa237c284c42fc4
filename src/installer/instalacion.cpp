#include "installer/instalacion.h"

#include "base/archivos.h"
#include "base/proceso.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <csignal>
#include <limits>
#include <memory>
#include <unistd.h>

// The run's reading side, on the run's own thread: the process, the log and
// the line framing. It tells the run only through calls queued on it, so
// nothing reaches a run that is gone.
class Instalacion::Lectura : public QObject {
public:
    Lectura(Parametros p, Instalacion* run)
        : p_(std::move(p))
        , run_(run) {}
    // While the script runs (or after a termination signal) this waits,
    // without an event loop, for the script's process group to end by itself,
    // still logging its output, and kills what is left when the grace is over.
    ~Lectura() override;

    void arrancar();
    void cancelar();
    // Reading stops waiting for the listeners, which are going away.
    void soltar() {
        enCamino_->store(soltada);
        enCamino_->notify_all();
    }

    std::atomic<bool> corre_{false};

private:
    void abrirRegistro();
    void leer();
    void entregar(QByteArrayView bytes, bool ultimo = false);
    void esperarAlGrupo();
    void alTerminar(int codigo, QProcess::ExitStatus estado);
    void alFallar(QProcess::ProcessError error);

    const Parametros p_;
    Instalacion* const run_;
    QProcess* proceso_ = nullptr;
    QFile registro_;
    DecodificadorUtf8 decodificador_;
    Encuadre encuadre_;
    std::atomic<qint64> pid_{0};
    // The group was sent the termination signal: by a cancel, or after a failure.
    std::atomic<bool> senalado_{false};
    // Shared with the calls queued on the run, which may outlive this.
    // Once released the count starts so low that reading never waits again.
    static constexpr int soltada = std::numeric_limits<int>::min() / 2;
    const std::shared_ptr<std::atomic<int>> enCamino_ = std::make_shared<std::atomic<int>>(0);
};

Instalacion::Instalacion(Parametros p, QObject* parent)
    : QObject(parent)
    , lectura_(new Lectura(std::move(p), this)) {
    hilo_.setObjectName(QStringLiteral("varno.lectura"));
    lectura_->moveToThread(&hilo_);
    hilo_.start();
}

Instalacion::~Instalacion() {
    // Reading may be waiting for listeners that will never take its lines.
    lectura_->soltar();
    QMetaObject::invokeMethod(
        lectura_, [l = lectura_] { delete l; }, Qt::BlockingQueuedConnection);
    hilo_.quit();
    hilo_.wait();
}

void Instalacion::arrancar() {
    QMetaObject::invokeMethod(lectura_, &Lectura::arrancar, Qt::QueuedConnection);
}

bool Instalacion::corre() const {
    return lectura_->corre_.load();
}

void Instalacion::cancelar() {
    lectura_->cancelar();
}

Instalacion::Lectura::~Lectura() {
    if (!proceso_)
        return;
    proceso_->disconnect(this);
    // A run that goes on is asked to stop, so that the script can clean up
    // after itself; a run that ended well is left alone.
    if (corre_.load())
        cancelar();
    if (senalado_.load())
        esperarAlGrupo();
}

namespace {
// Waits for the group to end by itself until the deadline; whether some of it is left.
bool quedaDelGrupo(pid_t grupo, const QDeadlineTimer& plazo) {
    while (sigueVivo(grupo, true) && !plazo.hasExpired())
        QThread::msleep(10);
    return sigueVivo(grupo, true);
}
} // namespace

void Instalacion::Lectura::esperarAlGrupo() {
    const auto grupo = static_cast<pid_t>(pid_.load());
    const QDeadlineTimer limite(p_.gracia);
    const auto registrar = [this] {
        const QByteArray bytes = proceso_->readAllStandardOutput();
        if (registro_.isOpen())
            registro_.write(bytes);
    };
    // The script's last words (its interruption line) still reach the log,
    // a chunk at a time, so that a script that floods it holds no memory.
    // Qt reads what is left in the pipe before it tells that the script ended.
    while (proceso_->waitForReadyRead(int(limite.remainingTime())))
        registrar();
    if (quedaDelGrupo(grupo, limite)) {
        ::kill(-grupo, SIGKILL);
        // A killed process is gone a moment later, not at once: wait for that
        // moment, so that nothing of the run is left when this returns.
        quedaDelGrupo(grupo, QDeadlineTimer(std::chrono::seconds(1)));
    }
    // Reaped here, so that the toolkit never has to kill it on its own.
    proceso_->waitForFinished();
}

void Instalacion::Lectura::abrirRegistro() {
    QDir().mkpath(QFileInfo(p_.registro).path());
    // Each run replaces the log whole, so it always holds exactly one run.
    if (!p_.cabecera.isEmpty())
        escribirEntero(p_.registro, p_.cabecera);
    // Without a log the run goes on: output is shown but not kept.
    registro_.setFileName(p_.registro);
    registro_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

void Instalacion::Lectura::arrancar() {
    abrirRegistro();

    proceso_ = new QProcess(this);
    proceso_->setProgram(p_.bash);
    proceso_->setArguments({p_.guion});
    proceso_->setProcessEnvironment(p_.entorno);
    proceso_->setProcessChannelMode(QProcess::MergedChannels);
    // A command that asks a question gets no answer, rather than waiting forever.
    proceso_->setStandardInputFile(QProcess::nullDevice());
    // The script leads its own process group, so that cancelling stops the
    // downloads it started as well.
    proceso_->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(proceso_, &QProcess::readyReadStandardOutput, this, &Lectura::leer);
    connect(proceso_, &QProcess::finished, this, &Lectura::alTerminar);
    connect(proceso_, &QProcess::errorOccurred, this, &Lectura::alFallar);
    connect(proceso_, &QProcess::started, this, [this] {
        pid_ = proceso_->processId();
        corre_ = true;
    });
    proceso_->start(QIODevice::ReadOnly);
}

void Instalacion::Lectura::cancelar() {
    if (corre_.load() && !senalado_.exchange(true))
        ::kill(-static_cast<pid_t>(pid_.load()), SIGTERM);
}

void Instalacion::Lectura::leer() {
    // The window takes lines at its own pace. While it is behind, reading
    // pauses: the pipe fills and the script waits, so memory stays bounded
    // whatever the script prints and the window's loop keeps turning.
    for (int n = enCamino_->load(); n >= maximoEnCamino; n = enCamino_->load())
        enCamino_->wait(n);
    entregar(proceso_->readAllStandardOutput());
}

void Instalacion::Lectura::entregar(QByteArrayView bytes, bool ultimo) {
    if (registro_.isOpen())
        registro_.write(bytes.data(), bytes.size());
    // The decoder carries a character split between two chunks over to the next.
    QString texto = decodificador_.decodificar(bytes);
    if (ultimo)
        texto += decodificador_.terminar();
    if (texto.isEmpty())
        return;
    Trozo trozo = encuadre_.trocear(std::move(texto));
    enCamino_->fetch_add(1);
    QMetaObject::invokeMethod(
        run_,
        [r = run_, trozo = std::move(trozo), enCamino = enCamino_] {
            emit r->lineas(trozo);
            enCamino->fetch_sub(1);
            enCamino->notify_one();
        },
        Qt::QueuedConnection);
}

void Instalacion::Lectura::alTerminar(int codigo, QProcess::ExitStatus estado) {
    // Whatever is still in the pipe is read, logged and shown before the end
    // of the run, so the failure screen is built on the script's last line.
    entregar(proceso_->readAllStandardOutput(), true);
    const bool bien = estado == QProcess::NormalExit && codigo == 0;
    // A failed run is retried from the start: nothing it left running (a
    // download in the background) may go on beside the retry.
    if (!bien)
        cancelar();
    corre_ = false;
    QMetaObject::invokeMethod(
        run_, [r = run_, bien] { emit r->termino(bien); }, Qt::QueuedConnection);
}

void Instalacion::Lectura::alFallar(QProcess::ProcessError error) {
    // A run that started ends through alTerminar, whatever else goes wrong.
    if (error != QProcess::FailedToStart)
        return;
    corre_ = false;
    const QString motivo = proceso_->errorString();
    QMetaObject::invokeMethod(
        run_, [r = run_, motivo] { emit r->noEmpezo(motivo); }, Qt::QueuedConnection);
}

Instalacion::Parametros parametrosDelInstalador(const Globales& g, const QString& reparar,
                                                std::chrono::milliseconds gracia) {
    const QString paquete = QDir(g.RECURSOS).filePath(QStringLiteral("paquete"));
    return {
        g.herramientas.bash,
        paquete + QStringLiteral("/instalar_mac.sh"),
        g.REGISTRO,
        entornoInstalador(QProcessEnvironment::systemEnvironment(), paquete, g.VERSION, reparar),
        gracia,
        cabeceraRegistro(g.VERSION, QDateTime::currentDateTimeUtc()).toUtf8()};
}
