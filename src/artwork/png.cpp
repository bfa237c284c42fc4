#include "artwork/png.h"

#include <QImage>
#include <png.h>

namespace {
void agregar(png_structp png, png_bytep datos, png_size_t n) {
    static_cast<QByteArray*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(datos), qsizetype(n));
}
} // namespace

QByteArray codificarPNG(const QImage& imagen) {
    const QImage rgba = imagen.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull())
        return {};
    QByteArray salida;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return {};
    }
    // libpng reports its errors by jumping back here; nothing of ours that
    // needs destroying is made after this point.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &salida, agregar, nullptr);
    png_set_IHDR(png, info, png_uint_32(rgba.width()), png_uint_32(rgba.height()), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    for (int y = 0; y < rgba.height(); ++y)
        png_write_row(png, rgba.constScanLine(y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return salida;
}
