#include "artwork/arte.h"
#include "comun/comun.h"

// Size truncated from the scale; no file for a scale not finite and positive or too big or small.
TEST(FondoDmg, TamanoSegunLaEscala) {
    // (scale, size written; invalid: nothing written)
    const std::tuple<double, QSize> casos[] = {
        {1, {600, 400}}, {2, {1200, 800}}, {0.333, {199, 133}}, {std::nan(""), {}},
        {HUGE_VAL, {}},  {0, {}},          {0.001, {}},         {1e7, {}}};
    for (const auto& [s, tamano] : casos) {
        QTemporaryDir dir;
        guardarFondoDmg(dir.filePath("a.png"), s);
        const QImage i(dir.filePath("a.png"), "png");
        EXPECT_EQ(i.isNull() ? QSize() : i.size(), tamano) << s;
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
