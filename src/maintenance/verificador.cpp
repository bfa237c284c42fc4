#include "maintenance/verificador.h"

Verificador::Verificador(Globales g, QObject* parent)
    : QObject(parent)
    , g_(std::move(g)) {}

Verificador::~Verificador() {
    // What the thread queued on this object goes with it.
    parar_ = true;
    if (hilo_)
        hilo_->wait();
}

void Verificador::arrancar() {
    hilo_.reset(QThread::create([this] {
        const Informe i = verificar(g_, parar_, [this](const AvanceVerificacion& a) {
            QMetaObject::invokeMethod(
                this, [this, a] { emit avanza(a); }, Qt::QueuedConnection);
        });
        QMetaObject::invokeMethod(
            this, [this, i] { emit termino(i); }, Qt::QueuedConnection);
    }));
    hilo_->setObjectName(QStringLiteral("varno.verificacion"));
    hilo_->start();
}
