#include "artwork/png.h"

#include <QBuffer>
#include <QImageReader>
#include <QRandomGenerator>
#include <gtest/gtest.h>

// What we write reads back the same through an independent decoder: odd sizes,
// rows longer than a block, opaque and translucent pixels.
TEST(CodificarPNG, SeLeeIgualQueSeEscribio) {
    QRandomGenerator azar(7);
    for (const QSize t : {QSize(1, 1), QSize(3, 7), QSize(257, 33), QSize(1024, 2)}) {
        QImage original(t, QImage::Format_ARGB32);
        for (int k = 0; k < t.width() * t.height(); ++k)
            original.setPixel(k % t.width(), k / t.width(),
                              azar.generate() | (k % 3 == 0 ? 0xff000000u : 0u));
        QByteArray png = codificarPNG(original);
        QBuffer b(&png);
        QImageReader lector(&b, "png");
        const QImage leida = lector.read().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(leida.isNull()) << lector.errorString().toStdString();
        EXPECT_EQ(leida, original) << t.width() << "×" << t.height();
    }
    EXPECT_TRUE(codificarPNG(QImage()).isEmpty());
}
