#pragma once

#include "base/resultado.h"

#include <QSize>
#include <QString>
#include <functional>
#include <optional>

class QPainter;
class QWidget;

// Renders `dibujar` into a new 8-bit RGBA image of ancho × alto pixels,
// transparent where nothing is drawn, with the origin at the bottom-left corner
// and one unit per pixel, and writes it as PNG to `ruta`.
//
// Each writer here answers why the file was not written, in a few words for
// the user, or nothing when it was.
Resultado<> guardarPNG(const QString& ruta, int ancho, int alto,
                       const std::function<void(QPainter&)>& dibujar);

// The 1024 × 1024 application icon.
Resultado<> guardarIcono(const QString& ruta);

// The pixel size of the background at `escala` (products truncated), or nothing
// when the scale is not a finite positive number or no image can hold the size.
std::optional<QSize> tamanoFondo(double escala);

// The disk image's background, 600 × 400 units at `escala`.
Resultado<> guardarFondoDmg(const QString& ruta, double escala);

// What `contenido` shows, with all its children, at the device pixel ratio.
Resultado<> captura(QWidget* contenido, const QString& ruta);
