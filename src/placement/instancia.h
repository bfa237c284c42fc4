#pragma once

#include <QObject>
#include <QString>
#include <chrono>

class QLocalServer;

// One running VARNO per data folder, so that two installers never write into
// it at once. A later start asks the running one to show its window and
// leaves; while the running one has no window to show (it is still deciding,
// or quitting after a move), the later start waits a little for it to go.
class Instancia : public QObject {
    Q_OBJECT
public:
    explicit Instancia(const QString& datos, QObject* parent = nullptr);
    ~Instancia() override;

    enum class Toma {
        propia,    // this process is the one that runs now
        entregada, // the running one has shown its window
        ocupada,   // the running one holds the lock and did not show a window in time
    };
    Toma tomar(std::chrono::milliseconds espera = std::chrono::seconds(10));

    // Where the lock and the socket live, without extension: in a folder that
    // only this user can write into.
    static QString nombreDe(const QString& datos);
    QString cerrojo() const { return nombre_ + QStringLiteral(".lock"); }

signals:
    // Sent in the running instance, on its thread, when another start asks for
    // the window: the receiver brings it to the front and sets `mostrada` when
    // there was one to show. Unset, the other start waits for this one to go.
    void ventanaPedida(bool* mostrada);

private:
    enum class Respuesta { ninguna, sinVentana, mostrada };
    Respuesta pedirVentana() const;
    void escuchar();
    void atender();
    // Whether the lock is ours now, without waiting; a lock that cannot be
    // made at all counts as ours, with nobody to coordinate with.
    bool cerrar();

    QString nombre_;
    int cerrojo_ = -1; // the lock file, held locked while it is open
    QLocalServer* servidor_ = nullptr;
};
