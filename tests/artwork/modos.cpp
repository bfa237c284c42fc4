#include "comun/comun.h"
#include "ui/marca.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The built program in `dir` with no display at all, as on a packaging
// machine; `escala` is the screen's pixel ratio. Its exit status.
int correr(const QString& dir, const QStringList& argumentos, int escala = 1) {
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        entorno.remove(QString::fromLatin1(v));
    entorno.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(escala));
    QProcess p;
    p.setProcessEnvironment(entorno);
    p.setWorkingDirectory(dir);
    p.start(pruebas::ejecutable(), argumentos);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

// Each packaging run writes its one file, if any, and ends well, even without a
// display; the option given first wins.
TEST(Modos, CadaOpcionEscribeSoloLoSuyo) {
    const struct {
        QStringList argumentos;
        const char* archivo; // null: nothing written
        QSize tamano;
    } casos[] = {
        {{"--fondo-dmg", "f.png", "2"}, "f.png", {1200, 800}},
        {{"--icono", "i.png", "--fondo-dmg", "f.png", "2"}, "i.png", {1024, 1024}},
        {{"--icono", "falta/i.png"}, nullptr, {}},
        {{"--captura", "c.png", "6"}, nullptr, {}},
    };
    for (const auto& c : casos) {
        QTemporaryDir dir;
        const std::string caso = c.argumentos.join(' ').toStdString();
        EXPECT_EQ(correr(dir.path(), c.argumentos), 0) << caso;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                  c.archivo ? QStringList{c.archivo} : QStringList())
            << caso;
        if (c.archivo)
            EXPECT_EQ(QImage(dir.filePath(c.archivo), "png").size(), c.tamano) << caso;
    }
}

// Each screen in its example state: the status line's colour (the information
// text's on screen 0, also for a number that cannot be read), the bar's fill,
// the detail line and the log button.
TEST(Modos, CapturaDeCadaPantalla) {
    const struct {
        const char* pantalla;
        int escala;
        QColor estado;
        double barra;
        bool detalle, registro;
    } casos[] = {{"abc", 1, Marca::tiza, 0, false, false}, {"1", 1, Marca::papel, 0.5, true, false},
                 {"2", 1, Marca::bien, 1.0, true, false},  {"3", 1, Marca::mal, 0.1, true, true},
                 {"4", 1, Marca::papel, 0.4, true, false}, {"4", 2, Marca::papel, 0.4, true, false},
                 {"5", 1, Marca::mal, 0.6, true, true}};
    for (const auto& c : casos) {
        QTemporaryDir dir;
        ASSERT_EQ(correr(dir.path(), {"--captura", "c.png", c.pantalla}, c.escala), 0);
        const QImage i(dir.filePath("c.png"), "png");
        ASSERT_EQ(i.size(), QSize(560, 372) * c.escala) << c.pantalla;
        // How many pixels of a box of the content view are `color`, give or take `margen`.
        const auto cuantos = [&](QRect r, QColor color, int margen) {
            int n = 0;
            for (int k = 0; k < r.width() * r.height(); ++k) {
                const QColor p = i.pixelColor((r.x() + k % r.width()) * c.escala,
                                              (r.y() + k / r.width()) * c.escala);
                n += qMax(qAbs(p.red() - color.red()), qAbs(p.green() - color.green())) <= margen &&
                     qAbs(p.blue() - color.blue()) <= margen;
            }
            return n;
        };
        EXPECT_GT(cuantos({40, 186, 480, 20}, c.estado, 24), 0) << c.pantalla;
        EXPECT_NEAR(cuantos({40, 221, 480, 1}, Marca::azul, 12) / 480.0, c.barra, 0.02)
            << c.pantalla;
        EXPECT_EQ(cuantos({40, 240, 480, 30}, Marca::fondo, 0) < 480 * 30, c.detalle) << c.pantalla;
        EXPECT_EQ(cuantos({204, 296, 150, 42}, Marca::fondo, 0) < 150 * 42, c.registro)
            << c.pantalla;
    }
}
