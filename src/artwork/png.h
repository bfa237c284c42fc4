#pragma once

#include <QByteArray>

class QImage;

// The image as a PNG file: 8-bit RGBA, unfiltered rows, zlib's fastest level.
// Flat artwork packs nearly as small this way as with the usual per-row filter
// search, which made up most of a packaging run; Qt's own writer has no
// setting that turns that search off. zlib alone, which every Mac has for both
// of its processors, keeps the build universal without a library of our own.
QByteArray codificarPNG(const QImage& imagen);
