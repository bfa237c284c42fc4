#pragma once

#include <QProcess>
#include <QStringList>

namespace pruebas {

// A fake engine answering on 127.0.0.1:8770 while the object lives.
class Servidor {
public:
    explicit Servidor(const QStringList& opciones = {});
    ~Servidor();
    bool listo() const { return listo_; }

private:
    QProcess proceso_;
    bool listo_ = false;
};

} // namespace pruebas
