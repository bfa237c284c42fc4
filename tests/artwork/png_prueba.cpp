#include "artwork/png.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

// What we write must read back the same through an independent decoder.
TEST(CodificarPNG, SeLeeIgualQueSeEscribio) {
    const QSize tamanos[] = {{1, 1}, {3, 7}, {257, 33}, {1024, 2}};
    QRandomGenerator azar(7);
    for (const QSize t : tamanos) {
        QImage original(t, QImage::Format_ARGB32);
        for (int y = 0; y < t.height(); ++y)
            for (int x = 0; x < t.width(); ++x)
                original.setPixel(x, y, azar.generate() | (x % 3 == 0 ? 0xff000000u : 0u));
        QByteArray png = codificarPNG(original);
        QBuffer b(&png);
        QImageReader lector(&b, "png");
        const QImage leida = lector.read().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(leida.isNull()) << lector.errorString().toStdString();
        ASSERT_EQ(leida.size(), t);
        for (int y = 0; y < t.height(); ++y)
            for (int x = 0; x < t.width(); ++x)
                ASSERT_EQ(leida.pixel(x, y), original.pixel(x, y)) << x << "," << y;
    }
    EXPECT_TRUE(codificarPNG(QImage()).isEmpty());
}

} // namespace
