#include "artwork/arte.h"
#include "artwork/png.h"
#include "comun/comun.h"
#include "ui/marca.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

QImage leer(const QString& ruta) {
    return QImage(ruta, "png").convertToFormat(QImage::Format_ARGB32);
}
// A pixel addressed from the bottom-left corner, as the drawings are.
QRgb en(const QImage& i, qreal x, qreal y) {
    return i.pixel(int(x), i.height() - 1 - int(y));
}

} // namespace

// What we write, 8-bit RGBA, reads back the same through libpng: odd sizes,
// rows longer than a block, opaque and translucent pixels.
TEST(CodificarPNG, SeLeeIgualQueSeEscribio) {
    QRandomGenerator azar(7);
    for (const QSize t : {QSize(1, 1), QSize(3, 7), QSize(257, 33), QSize(1024, 2)}) {
        QImage original(t, QImage::Format_ARGB32);
        for (int k = 0; k < t.width() * t.height(); ++k)
            original.setPixel(k % t.width(), k / t.width(),
                              azar.generate() | (k % 3 == 0 ? 0xff000000u : 0u));
        QByteArray png = codificarPNG(original);
        EXPECT_EQ(png.mid(24, 2), QByteArray("\x08\x06", 2)) << "8-bit RGBA";
        QBuffer b(&png);
        QImageReader lector(&b, "png");
        const QImage leida = lector.read().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(leida.isNull()) << lector.errorString().toStdString();
        EXPECT_EQ(leida, original) << t.width() << "×" << t.height();
    }
}

// Drawn from the bottom-left corner, replacing the file; nothing written for an
// empty or huge image or a path that cannot be a file.
TEST(GuardarPNG, DesdeAbajoYNadaCuandoNoPuede) {
    QTemporaryDir dir;
    const auto ruta = [&](const char* nombre) { return dir.filePath(QString::fromLatin1(nombre)); };
    const auto rojo = [](QPainter& p) { p.fillRect(QRectF(0, 0, 2, 1), Qt::red); };
    pruebas::escribir(ruta("a.png"), "viejo");
    guardarPNG(ruta("a.png"), 4, 3, rojo);
    const QImage i = leer(ruta("a.png"));
    ASSERT_EQ(i.size(), QSize(4, 3));
    EXPECT_EQ(std::tuple(en(i, 1, 0), en(i, 2, 0), en(i, 0, 2)),
              std::tuple(qRgb(255, 0, 0), 0u, 0u));
    QDir(dir.path()).mkdir(QStringLiteral("carpeta"));
    for (const auto& [nombre, ancho, alto] : {std::tuple("cero.png", 0, 10),
                                              {"neg.png", 10, -1},
                                              {"enorme.png", 1 << 20, 1 << 20},
                                              {"falta/a.png", 4, 4},
                                              {"carpeta", 4, 4}}) {
        guardarPNG(ruta(nombre), ancho, alto, rojo);
        EXPECT_FALSE(QFileInfo(ruta(nombre)).isFile()) << nombre;
    }
}

// The face with its faint rim (white at 8 %), transparent around it; the mark
// at side 600 from (212, 212): bars 75 wide, centred on y 512, each edge where
// it belongs.
TEST(Icono, CaraBordeYMarca) {
    QTemporaryDir dir;
    guardarIcono(dir.filePath(QStringLiteral("i.png")));
    const QImage i = leer(dir.filePath(QStringLiteral("i.png")));
    ASSERT_EQ(i.size(), QSize(1024, 1024));
    const QRgb cara = qRgb(18, 18, 22), borde = qRgb(37, 37, 41);
    for (const auto& [x, y, color] : {std::tuple(0, 0, QRgb(0)),
                                      {50, 512, 0},
                                      {512, 150, cara},
                                      {512, 106, cara},
                                      {512, 101, borde},
                                      {512, 922, borde},
                                      {101, 512, borde},
                                      {922, 512, borde}})
        EXPECT_EQ(std::tuple(qRed(en(i, x, y)) / 4, qAlpha(en(i, x, y))),
                  std::tuple(qRed(color) / 4, qAlpha(color)))
            << x << "," << y;
    for (const auto& [x, abajo, alto, color] : {std::tuple(344, 380, 264, Marca::azul),
                                                {476, 305, 414, Marca::amarillo},
                                                {608, 419, 186, Marca::azul}}) {
        const int medio = x + 37, arriba = abajo + alto;
        for (const auto& [px, py, dentro] : {std::tuple(x + 1, 512, true),
                                             {x - 2, 512, false},
                                             {x + 77, 512, false},
                                             {medio, abajo + 1, true},
                                             {medio, abajo - 2, false},
                                             {medio, arriba + 1, false}})
            EXPECT_EQ(en(i, px, py), dentro ? color.rgb() : cara) << px << "," << py;
    }
}

// The size follows the scale, products truncated; nothing is written for a scale
// that is not a finite positive number or gives no image. At scales 1 and 2 all
// that is not background lies in the arrow's band or a text box, in its colour,
// and each is centred on x 300.
TEST(FondoDmg, TamanoFlechaYTextos) {
    const struct {
        double escala;
        QSize tamano; // invalid: nothing written
    } casos[] = {{1, {600, 400}},    {2, {1200, 800}}, {1.5, {900, 600}}, {0.333, {199, 133}},
                 {std::nan(""), {}}, {HUGE_VAL, {}},   {0, {}},           {-1, {}},
                 {0.001, {}},        {1e7, {}}};
    const struct {
        QRectF zona;
        QRgb tinta;
        int margen;
    } zonas[] = {{{243, 194, 115, 32}, qRgb(160, 160, 168), 0},
                 {{0, 332, 600, 30}, qRgb(22, 22, 26), 20},
                 {{0, 34, 600, 20}, qRgb(107, 107, 115), 20}};
    QTemporaryDir dir;
    for (const auto& [s, tamano] : casos) {
        const QString ruta = dir.filePath(QStringLiteral("%1.png").arg(s));
        guardarFondoDmg(ruta, s);
        const QImage i = leer(ruta);
        ASSERT_EQ(i.isNull() ? QSize() : i.size(), tamano) << s;
        if (s != 1 && s != 2)
            continue;
        QRectF tinta[3];
        int oscuro[3] = {255, 255, 255};
        for (int k = 0; k < i.width() * i.height(); ++k) {
            const int x = k % i.width(), y = k / i.width();
            if (en(i, x, y) == qRgb(244, 244, 246))
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

// Each packaging run writes its one file, if any, and ends well, even without
// a display (as on a packaging machine); the option given first wins; a
// capture is taken at the screen's pixel ratio.
TEST(Modos, CadaOpcionEscribeSoloLoSuyo) {
    const struct {
        QStringList argumentos;
        const char* archivo; // null: nothing written
        QSize tamano;
        int escala; // the screen's pixel ratio
    } casos[] = {
        {{"--fondo-dmg", "f.png", "2"}, "f.png", {1200, 800}, 1},
        {{"--icono", "i.png", "--fondo-dmg", "f.png", "2"}, "i.png", {1024, 1024}, 1},
        {{"--icono", "falta/i.png"}, nullptr, {}, 1},
        {{"--captura", "c.png", "6"}, nullptr, {}, 1},
        {{"--captura", "c.png", "0"}, "c.png", {560, 372}, 1},
        {{"--captura", "c.png", "5"}, "c.png", {1120, 744}, 2},
    };
    for (const auto& c : casos) {
        QTemporaryDir dir;
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            entorno.remove(QString::fromLatin1(v));
        entorno.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(c.escala));
        QProcess p;
        p.setProcessEnvironment(entorno);
        p.setWorkingDirectory(dir.path());
        p.start(pruebas::ejecutable(), c.argumentos);
        const std::string caso = c.argumentos.join(' ').toStdString();
        ASSERT_TRUE(p.waitForFinished(60000)) << caso;
        EXPECT_EQ(std::tuple(p.exitStatus(), p.exitCode()), std::tuple(QProcess::NormalExit, 0))
            << caso;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                  c.archivo ? QStringList{c.archivo} : QStringList())
            << caso;
        if (c.archivo)
            EXPECT_EQ(QImage(dir.filePath(c.archivo), "png").size(), c.tamano) << caso;
    }
}
