#pragma once

#include "maintenance/mantenimiento.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <memory>

// A verification as the window and the terminal drive it: `arrancar` starts it
// on a thread of its own, and it tells of itself by signals on its owner's
// thread, `termino` last. Destroying it stops the work at its next look and
// waits for the thread.
class Verificador : public QObject {
    Q_OBJECT
public:
    explicit Verificador(Globales g, QObject* parent = nullptr);
    ~Verificador() override;
    void arrancar();

signals:
    void avanza(const AvanceVerificacion& a);
    void termino(const Informe& informe);

private:
    const Globales g_;
    std::atomic<bool> parar_{false};
    std::unique_ptr<QThread> hilo_;
};
