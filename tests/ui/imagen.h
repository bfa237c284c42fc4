#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <string>

namespace pruebas {

// What `w` draws, one pixel per unit, over a transparent background.
inline QImage pintar(QWidget& w) {
    QImage imagen(w.size(), QImage::Format_ARGB32_Premultiplied);
    imagen.fill(Qt::transparent);
    w.render(&imagen, QPoint(), QRegion(), QWidget::DrawChildren);
    return imagen;
}

// Colours as #aarrggbb, so that a failure shows them.
inline std::string de(const QColor& c) {
    return c.name(QColor::HexArgb).toStdString();
}
inline std::string en(const QImage& i, int x, int y) {
    return de(i.pixelColor(x, y));
}

// How many opaque pixels of `zona` are within `tolerancia` of `color` in every channel.
inline int cuantos(const QImage& i, const QRect& zona, const QColor& color, int tolerancia = 24) {
    int n = 0;
    for (int y = zona.top(); y <= zona.bottom(); ++y)
        for (int x = zona.left(); x <= zona.right(); ++x) {
            const QColor c = i.pixelColor(x, y);
            n += c.alpha() == 255 && qAbs(c.red() - color.red()) <= tolerancia &&
                 qAbs(c.green() - color.green()) <= tolerancia &&
                 qAbs(c.blue() - color.blue()) <= tolerancia;
        }
    return n;
}

} // namespace pruebas
