#pragma once

#include <QColor>

// The palette: nine sRGB colours, each component exactly k/255.
struct Marca {
    Marca() = delete;
    static inline const QColor fondo = QColor::fromRgb(11, 11, 13);
    static inline const QColor panel = QColor::fromRgb(35, 35, 43);
    static inline const QColor papel = QColor::fromRgb(228, 228, 231);
    static inline const QColor tiza = QColor::fromRgb(156, 157, 163);
    static inline const QColor azul = QColor::fromRgb(42, 91, 215);
    static inline const QColor amarillo = QColor::fromRgb(252, 184, 19);
    static inline const QColor naranja = QColor::fromRgb(255, 155, 47);
    static inline const QColor bien = QColor::fromRgb(156, 197, 138);
    static inline const QColor mal = QColor::fromRgb(255, 107, 94);
};
