#include "artwork/png.h"

#include <QImage>
#include <QtEndian>
#include <zlib.h>

namespace {
// A chunk: its length, its type and data, and the CRC of those two.
void agregarTrozo(QByteArray& salida, const char (&tipo)[5], const QByteArray& datos) {
    char largo[4];
    qToBigEndian(quint32(datos.size()), largo);
    salida.append(largo, 4);
    const qsizetype desde = salida.size();
    salida.append(tipo, 4).append(datos);
    const auto* cubierto = reinterpret_cast<const Bytef*>(salida.constData() + desde);
    char crc[4];
    qToBigEndian(quint32(crc32(crc32(0, nullptr, 0), cubierto, uInt(salida.size() - desde))), crc);
    salida.append(crc, 4);
}

// The rows, each behind its filter byte 0 (none), deflated at zlib's fastest level.
QByteArray comprimirFilas(const QImage& rgba) {
    z_stream z{};
    if (deflateInit(&z, Z_BEST_SPEED) != Z_OK)
        return {};
    const auto fila = uInt(rgba.width()) * 4;
    QByteArray salida(qsizetype(deflateBound(&z, uLong(fila + 1) * uLong(rgba.height()))),
                      Qt::Uninitialized);
    z.next_out = reinterpret_cast<Bytef*>(salida.data());
    z.avail_out = uInt(salida.size());
    Bytef ninguno = 0;
    bool bien = true;
    for (int y = 0; bien && y < rgba.height(); ++y) {
        z.next_in = &ninguno, z.avail_in = 1;
        bien = deflate(&z, Z_NO_FLUSH) == Z_OK;
        z.next_in = const_cast<Bytef*>(rgba.constScanLine(y)), z.avail_in = fila;
        bien = bien && deflate(&z, Z_NO_FLUSH) == Z_OK;
    }
    // The bound holds everything, so one call ends the stream.
    bien = bien && deflate(&z, Z_FINISH) == Z_STREAM_END;
    salida.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    return bien ? salida : QByteArray();
}
} // namespace

QByteArray codificarPNG(const QImage& imagen) {
    const QImage rgba = imagen.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull())
        return {};
    const QByteArray filas = comprimirFilas(rgba);
    if (filas.isEmpty())
        return {};
    // Width and height, 8 bits per channel, RGBA, deflate, adaptive filtering, no interlace.
    QByteArray cabecera(13, '\0');
    qToBigEndian(quint32(rgba.width()), cabecera.data());
    qToBigEndian(quint32(rgba.height()), cabecera.data() + 4);
    cabecera[8] = 8, cabecera[9] = 6;
    QByteArray salida("\x89PNG\r\n\x1a\n", 8);
    agregarTrozo(salida, "IHDR", cabecera);
    agregarTrozo(salida, "IDAT", filas);
    agregarTrozo(salida, "IEND", {});
    return salida;
}
