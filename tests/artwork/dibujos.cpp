#include "artwork/arte.h"
#include "comun/comun.h"

// Size truncated from the scale; no file for a scale not finite and positive or too big or small.
// At scales 1 and 2, from the bottom-left: each zone's darkest ink, centred on x 300.
TEST(FondoDmg, TamanoFlechaYTextos) {
    // (scale, size written; invalid: nothing written)
    const std::tuple<double, QSize> casos[] = {
        {1, {600, 400}}, {2, {1200, 800}}, {0.333, {199, 133}}, {std::nan(""), {}},
        {HUGE_VAL, {}},  {0, {}},          {0.001, {}},         {1e7, {}}};
    const QRgb fondo = qRgb(244, 244, 246);
    // (what, zone in canvas units, its darkest ink, how far it may be off)
    const std::tuple<const char*, QRect, QRgb, int> zonas[] = {
        {"flecha", {243, 194, 115, 32}, qRgb(160, 160, 168), 0},
        {"título", {0, 332, 600, 30}, qRgb(22, 22, 26), 20},
        {"línea", {0, 34, 600, 20}, qRgb(107, 107, 115), 20},
        {"entre ellas", {0, 230, 600, 100}, fondo, 0}};
    for (const auto& [s, tamano] : casos) {
        QTemporaryDir dir;
        guardarFondoDmg(dir.filePath("a.png"), s);
        const QImage i =
            QImage(dir.filePath("a.png"), "png").convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(i.isNull() ? QSize() : i.size(), tamano) << s;
        for (const auto& [que, zona, tinta, margen] : zonas) {
            if (s != 1 && s != 2)
                break;
            int oscuro = qGray(fondo);
            QRectF manchado;
            for (int y = zona.top() * s; y < (zona.bottom() + 1) * s; ++y)
                for (int x = zona.left() * s; x < (zona.right() + 1) * s; ++x)
                    if (const QRgb p = i.pixel(x, i.height() - 1 - y); p != fondo)
                        oscuro = std::min(oscuro, qGray(p)),
                        manchado |= QRectF(x / s, y / s, 1 / s, 1 / s);
            EXPECT_NEAR(oscuro, qGray(tinta), margen) << que << " " << s;
            EXPECT_EQ(manchado.isNull(), tinta == fondo) << que << " " << s;
            EXPECT_NEAR(manchado.isNull() ? 300 : manchado.center().x(), 300, 2) << que << " " << s;
        }
    }
}

// A packaging run ends 0 only with its picture written; otherwise it says why in one line, ends 1.
TEST(Empaquetado, SoloTerminaBienConElDibujoEscrito) {
    QTemporaryDir d;
    // The last two draw nothing: a scale of 0, a screen that does not exist.
    for (const QString modo :
         {"--icono @", "--fondo-dmg @ 2", "--captura @ 4", "--fondo-dmg @ 0", "--captura @ 6"})
        for (const QString& ruta : {d.filePath("no/a.png"), d.path(), QStringLiteral("a.png")}) {
            QProcess p;
            p.setWorkingDirectory(d.path());
            p.start(pruebas::ejecutable(), modo.split(' ').replaceInStrings("@", ruta));
            ASSERT_TRUE(p.waitForFinished(60'000));
            const QString error = p.readAllStandardError();
            const bool escrito = ruta == "a.png" && !modo.endsWith('0') && !modo.endsWith('6');
            EXPECT_EQ(std::tuple(p.exitCode(), QFile::remove(d.filePath(ruta)), error.count('\n')),
                      std::tuple(escrito ? 0 : 1, escrito, escrito ? 0 : 1))
                << modo.toStdString() << " " << ruta.toStdString();
            EXPECT_EQ(error.startsWith("VARNO no pudo escribir " + ruta + ": "), !escrito);
        }
}
