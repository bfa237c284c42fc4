#include "app/delegado.h"
#include "artwork/arte.h"
#include "comun/comun.h"

// Truncated from the scale; none for a scale not finite and positive, too small, or whose 4-byte
// pixels pass what one image may hold (2^31 - 1 bytes: 47.2913 is under it, 47.2999 over).
TEST(FondoDmg, TamanoSegunLaEscala) {
    const std::tuple<double, QSize> casos[] = {{0.333, {199, 133}}, {47.2913, {28374, 18916}},
                                               {47.2999, {}},       {std::nan(""), {}},
                                               {HUGE_VAL, {}},      {0.001, {}}};
    for (const auto& [s, tamano] : casos)
        EXPECT_EQ(tamanoFondo(s).value_or(QSize()), tamano) << s;
}

// The icon, the background and the window's screens as last looked at, pixel for pixel, against
// referencia/. A change leaves the new picture in dibujos/ beside this program, with a difference
// picture (changed pixels red): look at them; if right, VARNO_DIBUJOS_NUEVOS=1 takes them.
TEST(Dibujos, ComoSeVieronLaUltimaVez) {
    pruebas::Casa casa;
    Delegado d(casa.globales());
    const QString carpeta = QCoreApplication::applicationDirPath() + "/dibujos/";
    const QString referencias = VARNO_FUENTES "/tests/artwork/referencia/";
    QDir().mkpath(carpeta);
    for (const QString nombre : {"icono", "fondo", "pantalla-0", "pantalla-1", "pantalla-2",
                                 "pantalla-3", "pantalla-4", "pantalla-5"}) {
        const QString ruta = carpeta + nombre + ".png", referencia = referencias + nombre + ".png";
        const Resultado<> escrito = nombre == "icono" ? guardarIcono(ruta)
                                    : nombre == "fondo"
                                        ? guardarFondoDmg(ruta, 1)
                                        : d.escribirCaptura(ruta, nombre.back().digitValue());
        ASSERT_EQ(escrito.motivo(), "");
        if (qEnvironmentVariableIntValue("VARNO_DIBUJOS_NUEVOS") == 1)
            QFile::remove(referencia), QFile::copy(ruta, referencia);
        const QImage hecha = QImage(ruta, "png").convertToFormat(QImage::Format_ARGB32);
        const QImage debida = QImage(referencia, "png").convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(hecha.size(), debida.size()) << ruta.toStdString();
        QImage diferencia = hecha;
        qint64 distintos = 0;
        QRect donde;
        for (int y = 0; y < hecha.height(); ++y)
            for (int x = 0; x < hecha.width(); ++x)
                if (hecha.pixel(x, y) != debida.pixel(x, y))
                    ++distintos, donde |= QRect(x, y, 1, 1), diferencia.setPixel(x, y, 0xffff0000);
        if (distintos)
            diferencia.save(carpeta + nombre + "-diferencia.png");
        EXPECT_EQ(distintos, 0) << ruta.toStdString() << ": pixels differ within (" << donde.x()
                                << ", " << donde.y() << ") " << donde.width() << " × "
                                << donde.height();
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
