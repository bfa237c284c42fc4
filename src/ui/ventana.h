#pragma once

#include <QWidget>
#include <functional>
#include <memory>

class Barra;
class Boton;
class Etiqueta;

// The one window: a fixed 560 × 372 content area on the dark background.
// Closing asks `alCerrar` first; the window is kept, not deleted, when it
// closes, and closing the last window quits the application.
class Ventana : public QWidget {
    Q_OBJECT
public:
    static constexpr int ancho = 560;
    static constexpr int alto = 372;

    explicit Ventana(QWidget* parent = nullptr);

    // Whether the window may close now; closing is allowed when unset.
    std::function<bool()> alCerrar;

    // The content view, laid out from its top-left corner; replaces (and
    // deletes) the one before.
    QWidget* contenido() const { return contenido_; }
    void fijarContenido(QWidget* contenido);

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    QWidget* contenido_ = nullptr;
};

// Opens a file with the desktop's default application; the outcome is not looked at.
void abrirArchivo(const QString& ruta);

// The window with all its views, and the ones that change while it shows. The
// views belong to the window; the buttons have no action yet.
struct VentanaConstruida {
    std::unique_ptr<Ventana> ventana;
    Etiqueta* info;
    Etiqueta* estado;
    Etiqueta* detalle;
    Barra* barra;
    Boton* boton;
    Boton* registroBoton;
};
VentanaConstruida construirVentana();
