#include "ui/vistas.h"

#include "ui/accesibilidad.h"
#include "ui/marca.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTextLayout>
#include <utility>

void dibujarLogo(QPainter& p, QPointF en, qreal lado) {
    struct BarraDelLogo {
        qreal izquierda;
        qreal alto;
        const QColor& color;
    };
    const BarraDelLogo barras[] = {
        {0.22, 0.44, Marca::azul}, {0.44, 0.69, Marca::amarillo}, {0.66, 0.31, Marca::azul}};
    const qreal ancho = lado * 0.125;
    const qreal radio = ancho * 0.5;
    p.setPen(Qt::NoPen);
    for (const auto& b : barras) {
        const qreal h = lado * b.alto;
        p.setBrush(b.color);
        p.drawRoundedRect(QRectF(en.x() + lado * b.izquierda, en.y() + (lado - h) * 0.5, ancho, h),
                          radio, radio);
    }
}

QFont fuente(qreal tamano, Peso peso, const QPaintDevice* en) {
#ifdef Q_OS_MACOS
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
#else
    QFont f;
    static const bool hayInter = QFontDatabase::families().contains(QStringLiteral("Inter"));
    if (hayInter)
        f.setFamily(QStringLiteral("Inter"));
#endif
    // Qt sizes fonts in whole pixels or in points of the device's logical DPI;
    // points of the very device the text is drawn on keep the half-pixel sizes
    // exact.
    qreal ppp = 96;
    if (en)
        ppp = en->logicalDpiY();
    else if (const QScreen* pantalla = QGuiApplication::primaryScreen())
        ppp = pantalla->logicalDotsPerInchY();
    f.setPointSizeF(tamano * 72.0 / ppp);
    f.setWeight(static_cast<QFont::Weight>(peso));
    f.setKerning(true);
    return f;
}

Plano::Plano(QWidget* parent)
    : QWidget(parent) {}

Logo::Logo(QWidget* parent)
    : QWidget(parent) {}

void Logo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    dibujarLogo(p, QPointF(0, 0), qMin(width(), height()));
}

namespace {
constexpr QChar puntos(0x2026);

QString enUnaLinea(QString t) {
    t.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (const QChar c : {QChar(u'\n'), QChar(u'\r'), QChar(QChar::LineSeparator),
                          QChar(QChar::ParagraphSeparator)})
        t.replace(c, QLatin1Char(' '));
    return t;
}

QString sinEspaciosAlFinal(QString t) {
    qsizetype n = t.size();
    while (n > 0 && t.at(n - 1).isSpace())
        --n;
    t.truncate(n);
    return t;
}
} // namespace

Etiqueta::Etiqueta(const QString& texto, QWidget* parent)
    : QWidget(parent)
    , texto_(texto) {}

void Etiqueta::fijarTexto(const QString& texto) {
    if (texto == texto_)
        return;
    texto_ = texto;
    update();
    anunciarTexto(this);
}

void Etiqueta::fijarColor(const QColor& color) {
    if (color == color_)
        return;
    color_ = color;
    update();
}

void Etiqueta::fijarFuente(qreal tamano, Peso peso) {
    tamano_ = tamano;
    peso_ = peso;
    update();
}

void Etiqueta::fijarLineasMaximas(int lineas) {
    lineasMaximas_ = qMax(0, lineas);
    update();
}

QStringList Etiqueta::lineasVisibles() const {
    const QFont f = fuente(tamano_, peso_, this);
    const QFontMetricsF m(f, this);
    const qreal ancho = width();
    if (lineasMaximas_ == 0)
        return {m.elidedText(enUnaLinea(texto_), Qt::ElideRight, ancho)};

    // Line breaks in the text start new lines; long words break anywhere.
    QString t = texto_;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\n'), QChar(QChar::LineSeparator));
    QTextLayout layout(t, f, this);
    QTextOption opcion;
    opcion.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(opcion);
    QStringList lineas;
    bool cortado = false;
    layout.beginLayout();
    for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
        if (lineas.size() == lineasMaximas_) {
            cortado = true;
            break;
        }
        l.setLineWidth(ancho);
        lineas.append(sinEspaciosAlFinal(t.mid(l.textStart(), l.textLength())));
    }
    layout.endLayout();
    if (cortado)
        lineas.last() = m.elidedText(lineas.last() + puntos, Qt::ElideRight, ancho);
    return lineas;
}

void Etiqueta::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFont f = fuente(tamano_, peso_, this);
    p.setFont(f);
    p.setPen(color_);
    const QFontMetricsF m(f, this);
    qreal y = m.ascent();
    for (const QString& l : lineasVisibles()) {
        p.drawText(QPointF(0, y), l);
        y += m.lineSpacing();
    }
}

Etiqueta* etiqueta(const QString& texto, qreal tamano, Peso peso, const QColor& color) {
    auto* e = new Etiqueta(texto);
    e->fijarFuente(tamano, peso);
    e->fijarColor(color);
    return e;
}

Barra::Barra(QWidget* parent)
    : QProgressBar(parent) {
    setRange(0, escala);
    setValue(0);
    setTextVisible(false);
}

void Barra::fijarValor(double valor) {
    // Qt ignores a value outside the range; NaN fails both tests and stays 0.
    setValue(valor > 0 ? qRound(qMin(valor, 1.0) * escala) : 0);
}

void Barra::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QRectF b(rect());
    const qreal r = b.height() * 0.5;
    p.setBrush(Marca::panel);
    p.drawRoundedRect(b, r, r);
    // Once anything is done, at least a circle.
    if (value() > 0) {
        const qreal relleno = qMax(b.width() * valor(), b.height());
        p.setBrush(Marca::azul);
        p.drawRoundedRect(QRectF(0, 0, relleno, b.height()), r, r);
    }
}

Boton::Boton(QWidget* parent)
    : QAbstractButton(parent) {
    // Reached by Tab, not by a click, so that the ring shows only for the keyboard.
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
}

void Boton::fijarSecundario(bool secundario) {
    secundario_ = secundario;
    update();
}

void Boton::changeEvent(QEvent* e) {
    // The hand only over a button that acts.
    if (e->type() == QEvent::EnabledChange) {
        if (isEnabled())
            setCursor(Qt::PointingHandCursor);
        else
            unsetCursor();
    }
    QAbstractButton::changeEvent(e);
}

void Boton::enterEvent(QEnterEvent* e) {
    QAbstractButton::enterEvent(e);
    update();
}

void Boton::leaveEvent(QEvent* e) {
    QAbstractButton::leaveEvent(e);
    update();
}

void Boton::paintEvent(QPaintEvent*) {
    static constexpr qreal radio = 8.0;
    static constexpr qreal grosorBorde = 1.2;
    static constexpr qreal grosorFoco = 2.5;
    static constexpr QColor bordeReposo(70, 70, 80);
    static constexpr QColor tituloPrimario(10, 10, 12);

    const bool activo = isEnabled();
    const bool encima = activo && underMouse();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF b(rect());
    const QRectF contorno = b.adjusted(0.5, 0.5, -0.5, -0.5);
    QColor relleno;
    if (!activo)
        relleno = Marca::panel;
    else if (secundario_)
        relleno = Marca::fondo;
    else
        relleno = encima ? QColor(Qt::white) : Marca::papel;
    p.setPen(Qt::NoPen);
    p.setBrush(relleno);
    p.drawRoundedRect(contorno, radio, radio);
    if (secundario_) {
        p.setPen(QPen(encima ? Marca::tiza : bordeReposo, grosorBorde));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(contorno, radio, radio);
    }
    if (hasFocus()) {
        const qreal m = grosorFoco * 0.5;
        p.setPen(QPen(Marca::azul, grosorFoco));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(b.adjusted(m, m, -m, -m), radio - m, radio - m);
    }
    const QColor colorTitulo = !activo ? Marca::tiza : secundario_ ? Marca::papel : tituloPrimario;
    const QFont f = fuente(14, secundario_ ? Peso::regular : Peso::semibold, this);
    p.setFont(f);
    p.setPen(colorTitulo);
    // Centred across the whole width, and vertically by the height of a line.
    const qreal h = QFontMetricsF(f, this).height();
    p.drawText(QRectF(0, (b.height() - h) * 0.5, b.width(), h), Qt::AlignHCenter | Qt::AlignTop,
               text());
}
