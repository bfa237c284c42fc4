#include "artwork/arte.h"
#include "comun/comun.h"
#include "ui/marca.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

namespace {

QImage leer(const QString& ruta) {
    return QImage(ruta, "png").convertToFormat(QImage::Format_ARGB32);
}

// A pixel addressed from the bottom-left corner, as the drawings are.
QRgb en(const QImage& i, qreal x, qreal y) {
    return i.pixel(int(x), i.height() - 1 - int(y));
}

constexpr QRgb cara = qRgb(18, 18, 22), fondo = qRgb(244, 244, 246), flecha = qRgb(160, 160, 168);

} // namespace

TEST(GuardarPNG, RgbaDesdeAbajoYNadaCuandoNoPuede) {
    QTemporaryDir dir;
    const auto ruta = [&](const char* nombre) { return dir.filePath(QString::fromLatin1(nombre)); };
    const auto rojo = [](QPainter& p) { p.fillRect(QRectF(0, 0, 2, 1), Qt::red); };
    pruebas::escribir(ruta("a.png"), "viejo");
    guardarPNG(ruta("a.png"), 4, 3, rojo);
    EXPECT_EQ(pruebas::leer(ruta("a.png")).mid(24, 2), QByteArray("\x08\x06", 2)) << "8-bit RGBA";
    const QImage i = leer(ruta("a.png"));
    ASSERT_EQ(i.size(), QSize(4, 3));
    EXPECT_EQ(en(i, 1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(en(i, 2, 0), 0u);
    EXPECT_EQ(en(i, 0, 2), 0u);

    QDir(dir.path()).mkdir(QStringLiteral("carpeta"));
    const struct {
        const char* ruta;
        int ancho, alto;
    } fallos[] = {{"cero.png", 0, 10},
                  {"neg.png", 10, -1},
                  {"enorme.png", 1 << 20, 1 << 20},
                  {"falta/a.png", 4, 4},
                  {"carpeta", 4, 4}};
    for (const auto& f : fallos) {
        guardarPNG(ruta(f.ruta), f.ancho, f.alto, rojo);
        EXPECT_FALSE(QFileInfo(ruta(f.ruta)).isFile()) << f.ruta;
    }
}

TEST(Icono, CaraBordeYMarca) {
    QTemporaryDir dir;
    guardarIcono(dir.filePath(QStringLiteral("i.png")));
    const QImage i = leer(dir.filePath(QStringLiteral("i.png")));
    ASSERT_EQ(i.size(), QSize(1024, 1024));
    EXPECT_EQ(en(i, 0, 0), 0u);
    EXPECT_EQ(en(i, 50, 512), 0u);
    EXPECT_EQ(en(i, 512, 150), cara);
    EXPECT_EQ(en(i, 512, 106), cara);
    // The mark at side 600: bars 75 wide, centred on y 512.
    const struct {
        int izquierda, abajo, alto;
        QRgb color;
    } barras[] = {{344, 380, 264, Marca::azul.rgb()},
                  {476, 305, 414, Marca::amarillo.rgb()},
                  {608, 419, 186, Marca::azul.rgb()}};
    for (const auto& b : barras) {
        const int medio = b.izquierda + 37;
        int izquierda = 1024, abajo = 1024, ancho = 0, alto = 0;
        for (int k = 0; k < 1024; ++k) {
            if (en(i, medio, k) == b.color)
                abajo = std::min(abajo, k), ++alto;
            if (std::abs(k - medio) < 60 && en(i, k, 512) == b.color)
                izquierda = std::min(izquierda, k), ++ancho;
        }
        EXPECT_NEAR(izquierda, b.izquierda, 1);
        EXPECT_NEAR(ancho, 75, 1);
        EXPECT_NEAR(abajo, b.abajo, 1);
        EXPECT_NEAR(alto, b.alto, 2);
    }
    // The rim, white at 8 % over the face, on all four sides.
    for (const QPoint p : {QPoint(512, 101), QPoint(512, 922), QPoint(101, 512), QPoint(922, 512)})
        EXPECT_NEAR(qRed(en(i, p.x(), p.y())), 37, 3) << p.x() << "," << p.y();
}

TEST(FondoDmg, TamanoSegunLaEscala) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double escala;
        QSize tamano; // invalid: nothing written
    } casos[] = {{1, {600, 400}},    {2, {1200, 800}}, {1.5, {900, 600}}, {0.333, {199, 133}},
                 {std::nan(""), {}}, {inf, {}},        {0, {}},           {-1, {}},
                 {0.001, {}},        {1e7, {}}};
    QTemporaryDir dir;
    for (const auto& c : casos) {
        const QString ruta = dir.filePath(QStringLiteral("%1.png").arg(c.escala));
        guardarFondoDmg(ruta, c.escala);
        const QImage i = leer(ruta);
        EXPECT_EQ(i.isNull() ? QSize() : i.size(), c.tamano) << c.escala;
    }
}

// All that is not background lies in the arrow's band or in a text box, in the
// right colour, and each text is centred on x 300.
TEST(FondoDmg, FlechaYTextosEnSuSitio) {
    const struct {
        QRectF zona;
        QRgb tinta;
        int margen;
    } zonas[] = {{{243, 194, 115, 32}, flecha, 0},
                 {{0, 332, 600, 30}, qRgb(22, 22, 26), 20},
                 {{0, 34, 600, 20}, qRgb(107, 107, 115), 20}};
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("fondo.png"));
    for (const double s : {1.0, 2.0}) {
        guardarFondoDmg(ruta, s);
        const QImage i = leer(ruta);
        ASSERT_EQ(i.size(), QSize(600 * s, 400 * s));
        EXPECT_EQ(en(i, 150 * s, 100 * s), fondo);
        EXPECT_EQ(en(i, 300 * s, 210 * s), flecha);
        QRectF tinta[3];
        int oscuro[3] = {255, 255, 255};
        for (int y = 0; y < i.height(); ++y)
            for (int x = 0; x < i.width(); ++x) {
                if (en(i, x, y) == fondo)
                    continue;
                const QPointF p((x + 0.5) / s, (y + 0.5) / s);
                int z = 0;
                while (z < 3 && !zonas[z].zona.adjusted(-0.5, -0.5, 0.5, 0.5).contains(p))
                    ++z;
                ASSERT_LT(z, 3) << "stray ink at " << p.x() << "," << p.y() << " scale " << s;
                tinta[z] |= QRectF(p, QSizeF(1 / s, 1 / s));
                oscuro[z] = std::min(oscuro[z], qGray(en(i, x, y)));
            }
        for (int z = 0; z < 3; ++z) {
            EXPECT_NEAR(oscuro[z], qGray(zonas[z].tinta), zonas[z].margen) << s << " " << z;
            EXPECT_NEAR(tinta[z].center().x(), 300, 2) << s << " " << z;
        }
    }
}
