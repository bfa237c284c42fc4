#include "artwork/png.h"

#include <QImage>
#include <QtEndian>
#include <array>

namespace {

std::uint32_t crc32(const QByteArray& bytes, std::uint32_t crc = 0xffffffffu) {
    static const auto tabla = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    for (const char b : bytes)
        crc = tabla[(crc ^ static_cast<std::uint8_t>(b)) & 0xff] ^ (crc >> 8);
    return crc;
}

void agregarNumero(QByteArray& salida, std::uint32_t n) {
    char b[4];
    qToBigEndian(n, b);
    salida.append(b, 4);
}

void agregarBloque(QByteArray& salida, const char* tipo, const QByteArray& datos) {
    agregarNumero(salida, static_cast<std::uint32_t>(datos.size()));
    const QByteArray cuerpo = QByteArray(tipo, 4) + datos;
    salida += cuerpo;
    agregarNumero(salida, crc32(cuerpo) ^ 0xffffffffu);
}

} // namespace

QByteArray codificarPNG(const QImage& imagen) {
    const QImage rgba = imagen.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull())
        return {};
    const qsizetype fila = qsizetype(rgba.width()) * 4;
    QByteArray filas;
    filas.reserve((fila + 1) * rgba.height());
    for (int y = 0; y < rgba.height(); ++y) {
        filas.append('\0'); // no filter
        filas.append(reinterpret_cast<const char*>(rgba.constScanLine(y)), fila);
    }
    // qCompress puts the length in front of the zlib stream; PNG wants the stream alone.
    const QByteArray zlib = qCompress(filas, 1).mid(4);
    if (zlib.isEmpty())
        return {};

    QByteArray cabecera;
    agregarNumero(cabecera, static_cast<std::uint32_t>(rgba.width()));
    agregarNumero(cabecera, static_cast<std::uint32_t>(rgba.height()));
    cabecera.append(char(8)); // bits per sample
    cabecera.append(char(6)); // RGBA
    cabecera.append(3, '\0'); // deflate, adaptive filtering, no interlace

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    agregarBloque(png, "IHDR", cabecera);
    agregarBloque(png, "IDAT", zlib);
    agregarBloque(png, "IEND", {});
    return png;
}
