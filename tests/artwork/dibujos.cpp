#include "artwork/arte.h"
#include "artwork/png.h"
#include "comun/comun.h"
#include "ui/marca.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

// What `guardar` writes to a fresh file; null when it writes nothing.
QImage dibujado(const std::function<void(const QString&)>& guardar) {
    QTemporaryDir dir;
    guardar(dir.filePath(QStringLiteral("a.png")));
    return QImage(dir.filePath(QStringLiteral("a.png")), "png")
        .convertToFormat(QImage::Format_ARGB32);
}
// A pixel addressed from the bottom-left corner, as the drawings are.
QRgb en(const QImage& i, int x, int y) {
    return i.pixel(x, i.height() - 1 - y);
}

} // namespace

// What we write, 8-bit RGBA, reads back the same: odd sizes, rows longer than a
// block, opaque and translucent pixels.
TEST(CodificarPNG, SeLeeIgualQueSeEscribio) {
    QRandomGenerator azar(7);
    for (const QSize t : {QSize(1, 1), QSize(3, 7), QSize(257, 33), QSize(1024, 2)}) {
        QImage original(t, QImage::Format_ARGB32);
        for (int k = 0; k < t.width() * t.height(); ++k)
            original.setPixel(k % t.width(), k / t.width(),
                              azar.generate() | (k % 3 ? 0 : 0xff000000u));
        const QByteArray png = codificarPNG(original);
        EXPECT_EQ(png.mid(24, 2), QByteArray("\x08\x06", 2)) << "8-bit RGBA";
        EXPECT_EQ(QImage::fromData(png, "png").convertToFormat(QImage::Format_ARGB32), original)
            << t.width() << "×" << t.height();
    }
}

// The face with its faint rim (white at 8 %), transparent around it; the mark
// at side 600 from (212, 212): bars 75 wide, centred on y 512, each edge where
// it belongs. Compared coarsely, as edges are antialiased.
TEST(Icono, CaraBordeYMarca) {
    const QImage i = dibujado(guardarIcono);
    ASSERT_EQ(i.size(), QSize(1024, 1024));
    const QRgb cara = qRgb(18, 18, 22), borde = qRgb(37, 37, 41);
    std::vector<std::tuple<int, int, QRgb>> puntos{
        {0, 0, 0},         {50, 512, 0},      {512, 150, cara},  {512, 106, cara},
        {512, 101, borde}, {512, 922, borde}, {101, 512, borde}, {922, 512, borde}};
    // Each bar (left edge, bottom, height): just inside and just outside its edges.
    for (const auto& [x, abajo, alto, color] : {std::tuple(344, 380, 264, Marca::azul),
                                                {476, 305, 414, Marca::amarillo},
                                                {608, 419, 186, Marca::azul}})
        for (const auto& [px, py, dentro] : {std::tuple(x + 1, 512, true),
                                             {x - 2, 512, false},
                                             {x + 77, 512, false},
                                             {x + 37, abajo + 1, true},
                                             {x + 37, abajo - 2, false},
                                             {x + 37, abajo + alto + 1, false}})
            puntos.emplace_back(px, py, dentro ? color.rgb() : cara);
    const auto grueso = [](QRgb c) {
        return std::tuple(qRed(c) / 4, qGreen(c) / 4, qBlue(c) / 4, qAlpha(c));
    };
    for (const auto& [x, y, color] : puntos)
        EXPECT_EQ(grueso(en(i, x, y)), grueso(color)) << x << "," << y;
}

// The size follows the scale, products truncated; nothing is written for a scale
// that is not a finite positive number or gives no image. At scales 1 and 2, from
// the bottom-left corner: each zone's darkest ink, centred on x 300, and only
// background between the arrow and the title.
TEST(FondoDmg, TamanoFlechaYTextos) {
    // (scale, size written; invalid: nothing written)
    const std::tuple<double, QSize> casos[] = {
        {1, {600, 400}},    {2, {1200, 800}}, {1.5, {900, 600}}, {0.333, {199, 133}},
        {std::nan(""), {}}, {HUGE_VAL, {}},   {0, {}},           {-1, {}},
        {0.001, {}},        {1e7, {}}};
    const QRgb fondo = qRgb(244, 244, 246);
    // (what, zone in canvas units, its darkest ink, how far it may be off)
    const std::tuple<const char*, QRect, QRgb, int> zonas[] = {
        {"flecha", {243, 194, 115, 32}, qRgb(160, 160, 168), 0},
        {"título", {0, 332, 600, 30}, qRgb(22, 22, 26), 20},
        {"línea", {0, 34, 600, 20}, qRgb(107, 107, 115), 20},
        {"entre ellas", {0, 230, 600, 100}, fondo, 0}};
    for (const auto& [s, tamano] : casos) {
        const QImage i = dibujado([s = s](const QString& ruta) { guardarFondoDmg(ruta, s); });
        ASSERT_EQ(i.isNull() ? QSize() : i.size(), tamano) << s;
        for (const auto& [que, zona, tinta, margen] : zonas) {
            if (s != 1 && s != 2)
                break;
            int oscuro = qGray(fondo);
            QRectF manchado;
            for (int y = zona.top() * s; y < (zona.bottom() + 1) * s; ++y)
                for (int x = zona.left() * s; x < (zona.right() + 1) * s; ++x)
                    if (const QRgb p = en(i, x, y); p != fondo) {
                        oscuro = std::min(oscuro, qGray(p));
                        manchado |= QRectF(x / s, y / s, 1 / s, 1 / s);
                    }
            EXPECT_NEAR(oscuro, qGray(tinta), margen) << que << " " << s;
            EXPECT_EQ(manchado.isNull(), tinta == fondo) << que << " " << s;
            if (!manchado.isNull())
                EXPECT_NEAR(manchado.center().x(), 300, 2) << que << " " << s;
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
