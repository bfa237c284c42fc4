#pragma once

#include <QWidget>
#include <functional>

// The one window. Closing asks `alCerrar` first; the window is kept, not
// deleted, when it closes.
class Ventana : public QWidget {
    Q_OBJECT
public:
    explicit Ventana(QWidget* parent = nullptr);

    std::function<bool()> alCerrar;

    // The content view, 560 × 372, laid out from its top-left corner.
    QWidget* contenido() const { return contenido_; }
    void fijarContenido(QWidget* contenido);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QWidget* contenido_ = nullptr;
};

// Opens a file with the desktop's default application.
void abrirArchivo(const QString& ruta);
