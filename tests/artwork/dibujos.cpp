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

// The icon, the background and the window's screens as last looked at, pixel for pixel. A change
// leaves the new picture in dibujos/ beside this program: look at it; if right, take its sum.
TEST(Dibujos, ComoSeVieronLaUltimaVez) {
    pruebas::Casa casa;
    Delegado d(casa.globales());
    const QString carpeta = QCoreApplication::applicationDirPath() + "/dibujos/";
    QDir().mkpath(carpeta);
    // (picture, the start of the SHA-256 of its 32-bit pixels)
    const std::pair<QString, std::string> casos[] = {
        {"icono", "146179a7b45583b9"},      {"fondo", "d86f3a6ed6a329c5"},
        {"pantalla-0", "c0edc636bf078ebd"}, {"pantalla-1", "8f034d38af16cb1a"},
        {"pantalla-2", "c1d908d07eed44f6"}, {"pantalla-3", "225e6fba047ac614"},
        {"pantalla-4", "049f95b12ab4d15f"}, {"pantalla-5", "6417e4731b300471"}};
    for (const auto& [nombre, suma] : casos) {
        const QString ruta = carpeta + nombre + ".png";
        ASSERT_EQ(nombre == "icono"   ? guardarIcono(ruta)
                  : nombre == "fondo" ? guardarFondoDmg(ruta, 1)
                                      : d.escribirCaptura(ruta, nombre.back().digitValue()),
                  "");
        const QImage i = QImage(ruta, "png").convertToFormat(QImage::Format_ARGB32);
        const auto pixeles = QByteArrayView(i.constBits(), i.sizeInBytes());
        const QByteArray h = QCryptographicHash::hash(pixeles, QCryptographicHash::Sha256);
        EXPECT_EQ(h.toHex().left(16).toStdString(), suma) << ruta.toStdString();
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
