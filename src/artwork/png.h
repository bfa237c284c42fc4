#pragma once

#include <QByteArray>

class QImage;

// The image as a PNG file: 8-bit RGBA, unfiltered rows, zlib's fastest level.
// Flat artwork packs nearly as small this way as with a general encoder's
// per-row filter search, which made up most of a packaging run.
QByteArray codificarPNG(const QImage& imagen);
