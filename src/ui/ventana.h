#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

class Barra;
class Boton;
class Etiqueta;

// The one window: a fixed 560 × 372 content area on the dark background.
// Closing is announced by `cierre` first, whose receiver may ignore the event
// to keep the window open; the window is kept, not deleted, when it closes,
// and closing the last window quits the application. Return and Enter press
// the default button, as in a Mac dialog, wherever the focus is.
class Ventana : public QWidget {
    Q_OBJECT
public:
    static constexpr int ancho = 560;
    static constexpr int alto = 372;

    explicit Ventana(QWidget* parent = nullptr);

    // The button Return presses while it shows and acts; none when null.
    void fijarPredeterminado(Boton* boton) { predeterminado_ = boton; }

    // The content view, laid out from its top-left corner; replaces (and
    // deletes) the one before.
    QWidget* contenido() const { return contenido_; }
    void fijarContenido(QWidget* contenido);

signals:
    // Sent accepted; ignoring it keeps the window open.
    void cierre(QCloseEvent* e);

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    QWidget* contenido_ = nullptr;
    QPointer<Boton> predeterminado_;
};

// Asks a question in plain text over `padre`, modally, with two buttons, and
// answers whether `si` was chosen. As in every Mac dialog, Return chooses the
// default (`si` only when `siPorDefecto`) and Escape (and ⌘.) chooses `no`.
bool preguntar(QWidget* padre, const QString& texto, const QString& detalle, const QString& si,
               const QString& no, bool siPorDefecto);

// Opens a file with the desktop's default application; the outcome is not looked at.
void abrirArchivo(const QString& ruta);

// Shows `w` in the middle of the main screen, in front and active.
void mostrarEnElCentro(QWidget* w);
// Brings a showing `w` to the front; false when it does not show.
bool traerAlFrente(QWidget* w);

// The window with all its views, and the ones that change while it shows. The
// views belong to the window and are named after their fields; the buttons are
// connected to nothing yet, and the main one is the default.
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
