#include "ui/vistas.h"

#include "ui/marca.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

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

QFont fuente(qreal tamano, Peso peso) {
    QFont f;
#ifndef Q_OS_MACOS
    // The desktop's default font differs from machine to machine; Inter keeps the
    // window the same everywhere it is installed.
    static const bool hayInter = QFontDatabase::families().contains(QStringLiteral("Inter"));
    if (hayInter)
        f.setFamily(QStringLiteral("Inter"));
#endif
    // Qt takes whole pixel sizes; the half-pixel sizes of the layout round up.
    f.setPixelSize(qMax(1, qRound(tamano)));
    f.setWeight(static_cast<QFont::Weight>(peso));
    return f;
}

Plano::Plano(QWidget* parent) : QWidget(parent) {}

Logo::Logo(QWidget* parent) : QWidget(parent) {}

void Logo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    dibujarLogo(p, QPointF(0, 0), qMin(width(), height()));
}

Etiqueta::Etiqueta(const QString& texto, QWidget* parent) : QWidget(parent), texto_(texto) {}

void Etiqueta::fijarTexto(const QString& texto) {
    if (texto == texto_)
        return;
    texto_ = texto;
    update();
}

void Etiqueta::fijarColor(const QColor& color) {
    color_ = color;
    update();
}

void Etiqueta::fijarLineasMaximas(int lineas) {
    lineasMaximas_ = qMax(0, lineas);
    update();
}

QStringList Etiqueta::lineasVisibles() const {
    const QFontMetricsF m(font());
    const qreal ancho = width();
    if (lineasMaximas_ == 0) {
        QString una = texto_;
        una.replace(QLatin1Char('\n'), QLatin1Char(' '));
        return {m.elidedText(una, Qt::ElideRight, ancho)};
    }
    QTextLayout layout(texto_, font());
    QTextOption opcion;
    opcion.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(opcion);
    QStringList lineas;
    layout.beginLayout();
    for (;;) {
        QTextLine l = layout.createLine();
        if (!l.isValid())
            break;
        l.setLineWidth(ancho);
        if (lineas.size() == lineasMaximas_ - 1) {
            // The last line allowed takes the rest of the text, cut at the tail.
            const QString resto = texto_.mid(l.textStart());
            if (m.horizontalAdvance(resto) > ancho) {
                lineas.append(m.elidedText(resto, Qt::ElideRight, ancho));
                break;
            }
        }
        lineas.append(texto_.mid(l.textStart(), l.textLength()).trimmed());
        if (lineas.size() == lineasMaximas_)
            break;
    }
    layout.endLayout();
    return lineas;
}

void Etiqueta::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(color_);
    p.setFont(font());
    const QFontMetricsF m(font());
    qreal y = m.ascent();
    for (const QString& l : lineasVisibles()) {
        p.drawText(QPointF(0, y), l);
        y += m.lineSpacing();
    }
}

Etiqueta* etiqueta(const QString& texto, qreal tamano, Peso peso, const QColor& color) {
    auto* e = new Etiqueta(texto);
    e->setFont(fuente(tamano, peso));
    e->fijarColor(color);
    return e;
}

Barra::Barra(QWidget* parent) : QWidget(parent) {}

void Barra::fijarValor(double valor) {
    valor_ = valor;
    update();
}

void Barra::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const qreal r = height() * 0.5;
    p.setBrush(Marca::panel);
    p.drawRoundedRect(QRectF(rect()), r, r);
    if (valor_ > 0) {
        const qreal relleno = qMax(width() * qMin(valor_, 1.0), qreal(height()));
        p.setBrush(Marca::azul);
        p.drawRoundedRect(QRectF(0, 0, relleno, height()), r, r);
    }
}

Boton::Boton(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
}

void Boton::fijarTitulo(const QString& titulo) {
    titulo_ = titulo;
    update();
}

void Boton::fijarSecundario(bool secundario) {
    secundario_ = secundario;
    update();
}

void Boton::fijarActivo(bool activo) {
    activo_ = activo;
    if (activo_)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    update();
}

void Boton::enterEvent(QEnterEvent*) {
    encima_ = true;
    update();
}

void Boton::leaveEvent(QEvent*) {
    encima_ = false;
    update();
}

void Boton::mousePressEvent(QMouseEvent* e) {
    // The action fires on the press itself, as the button has no pressed look.
    e->accept();
    if (e->button() == Qt::LeftButton && activo_ && accion)
        accion();
}

void Boton::paintEvent(QPaintEvent*) {
    static constexpr qreal radio = 8.0;
    static constexpr qreal grosorBorde = 1.2;
    static const QColor bordeReposo = QColor::fromRgb(70, 70, 80);
    static const QColor tituloPrimario = QColor::fromRgb(10, 10, 12);

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF contorno = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor relleno;
    if (!activo_)
        relleno = Marca::panel;
    else if (secundario_)
        relleno = Marca::fondo;
    else
        relleno = encima_ ? QColor(Qt::white) : Marca::papel;
    p.setPen(Qt::NoPen);
    p.setBrush(relleno);
    p.drawRoundedRect(contorno, radio, radio);
    if (secundario_) {
        p.setPen(QPen(encima_ ? Marca::tiza : bordeReposo, grosorBorde));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(contorno, radio, radio);
    }
    const QColor colorTitulo = !activo_ ? Marca::tiza : secundario_ ? Marca::papel : tituloPrimario;
    p.setPen(colorTitulo);
    p.setFont(fuente(14, secundario_ ? Peso::regular : Peso::semibold));
    p.drawText(QRectF(rect()), Qt::AlignCenter | Qt::TextSingleLine, titulo_);
}
