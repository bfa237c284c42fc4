#include "comun/comun.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
        {{"--captura", "c.png", "3"}, "c.png", {1120, 744}, 2},
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
