#pragma once

#include <QAbstractButton>
#include <QFont>
#include <QPointF>
#include <QProgressBar>
#include <QWidget>

class QPainter;
class QPaintDevice;

// The three-bar mark in the square whose corner nearest the origin is `en`.
// The bars are centred vertically, so the mark is the same whichever way y grows.
// Leaves the painter with no pen and the last bar's brush.
void dibujarLogo(QPainter& p, QPointF en, qreal lado);

// Font weights as the window uses them.
enum class Peso { regular = 400, semibold = 600, heavy = 800 };

// The window's font, `tamano` device-independent pixels high (fractions kept)
// whatever the screen's DPI, for drawing on `en` (the primary screen when null).
// Inter where the system font varies from machine to machine, so that the window
// looks the same everywhere; the system's UI font on macOS.
QFont fuente(qreal tamano, Peso peso, const QPaintDevice* en = nullptr);

// The content view: draws nothing itself; its children are laid out from its
// top-left corner.
class Plano : public QWidget {
    Q_OBJECT
public:
    explicit Plano(QWidget* parent = nullptr);
};

// The logo mark in the square at the view's origin; transparent elsewhere.
class Logo : public QWidget {
    Q_OBJECT
public:
    explicit Logo(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

// A label that shows plain text only, never markup: the installer's output and
// log lines come from outside. One line cut at the tail with "…", or
// word-wrapped and cut after a maximum number of lines (the last one then ends
// in "…").
class Etiqueta : public QWidget {
    Q_OBJECT
public:
    explicit Etiqueta(const QString& texto = {}, QWidget* parent = nullptr);

    QString texto() const { return texto_; }
    void fijarTexto(const QString& texto);
    QColor color() const { return color_; }
    void fijarColor(const QColor& color);
    void fijarFuente(qreal tamano, Peso peso);
    qreal tamano() const { return tamano_; }
    Peso peso() const { return peso_; }
    // 0 lines: one line cut at the tail; n > 0: word wrapping cut after n lines.
    int lineasMaximas() const { return lineasMaximas_; }
    void fijarLineasMaximas(int lineas);

    // The lines as they are drawn at the current width.
    QStringList lineasVisibles() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString texto_;
    QColor color_;
    qreal tamano_ = 13;
    Peso peso_ = Peso::regular;
    int lineasMaximas_ = 0;
};

// The one label factory of the window: one line, cut at the tail.
Etiqueta* etiqueta(const QString& texto, qreal tamano, Peso peso, const QColor& color);

// A thin pill-shaped progress bar on Qt's progress model: the value runs from
// 0 to `escala`, which is what assistive technology reads and is told.
class Barra : public QProgressBar {
    Q_OBJECT
public:
    static constexpr int escala = 1000;
    explicit Barra(QWidget* parent = nullptr);

    // The fraction done; values beyond 0..1 (and NaN) are held at the ends.
    double valor() const { return double(value()) / escala; }
    void fijarValor(double valor);

protected:
    void paintEvent(QPaintEvent*) override;
};

// The hand-drawn push button, primary or secondary. Qt's button gives it the
// click on release, Space, Tab focus and what assistive technology is told;
// it draws its own hover, focus and disabled looks.
class Boton : public QAbstractButton {
    Q_OBJECT
public:
    explicit Boton(QWidget* parent = nullptr);

    bool secundario() const { return secundario_; }
    void fijarSecundario(bool secundario);

protected:
    void paintEvent(QPaintEvent*) override;
    void changeEvent(QEvent* e) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    bool secundario_ = false;
};
