// What the program reads at its start: the command line, the version file,
// the paths, and the text rules it applies to what it shows.
#include "app/opciones.h"
#include "base/globales.h"
#include "base/texto.h"
#include "comun/comun.h"

#include <QDir>
#include <QProcess>
#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(Opciones, EscalaYPantallaSoloSiSonElArgumentoEntero) {
    const std::pair<const char*, std::optional<double>> escalas[] = {
        {"2", 2.0}, {"+1.5", 1.5}, {".5", 0.5}, {"2E-1", 0.2}, {"2,5", {}}, {" 2", {}},
        {"", {}},   {"inf", {}},   {"nan", {}}, {"0x10", {}},  {"1e", {}},  {"٢", {}},
    };
    for (const auto& [texto, esperada] : escalas)
        EXPECT_EQ(leerEscala(QString::fromUtf8(texto)), esperada) << texto;
    EXPECT_TRUE(std::isinf(*leerEscala("1e999"))); // the artwork then refuses it
    const std::pair<const char*, std::optional<qint64>> pantallas[] = {
        {"3", 3},    {"-0", 0},  {"9223372036854775807", std::numeric_limits<qint64>::max()},
        {"3.0", {}}, {" 3", {}}, {"9223372036854775808", {}},
        {"+", {}},
    };
    for (const auto& [texto, esperada] : pantallas)
        EXPECT_EQ(leerPantalla(QString::fromUtf8(texto)), esperada) << texto;
}

TEST(Opciones, LaPrimeraAparicionYSusValoresSeanLoQueSean) {
    const auto leer = [](const QString& resto) {
        return leerOpciones(QStringList{"/VARNO"} + resto.split(' '));
    };
    auto o = leer("--icono --no-mover --icono b.png");
    EXPECT_EQ(o.icono, "--no-mover");
    EXPECT_TRUE(o.noMover);
    o = leer("--captura c.png abc --captura d.png 3 --fondo-dmg f.png 2,5");
    EXPECT_EQ(std::tuple(o.captura->ruta, o.captura->pantalla, o.fondoDmg->escala),
              std::tuple(QString("c.png"), 0, 1.0));
    // Without all their values the options are not there at all.
    for (const char* l : {"--fondo-dmg f.png", "--captura c.png", "--expulsar", "--ICONO a.png"}) {
        o = leer(QString::fromUtf8(l));
        EXPECT_FALSE(o.icono || o.fondoDmg || o.captura || o.expulsar) << l;
    }
    EXPECT_FALSE(leerOpciones({"--no-mover"}).noMover) << "the program's own path";
}

TEST(Globales, VersionRutasYBundle) {
    const std::pair<std::optional<QByteArray>, QString> versiones[] = {
        {"1.4.0\n", "1.4.0"},   {"\u2028\u00a01.2\u2003\u0085\r\n", "1.2"},
        {" \n\n\t", ""},        {"1.0\xff\n", "beta"},
        {std::nullopt, "beta"},
    };
    for (const auto& [contenido, esperada] : versiones) {
        QTemporaryDir d;
        if (contenido)
            pruebas::escribir(d.filePath("version.txt"), *contenido);
        EXPECT_EQ(leerVersion(d.path()), esperada) << contenido.value_or("(sin archivo)").data();
    }
    const Globales g = calcularGlobales("/Users/u", QStringLiteral("/no/existe"));
    EXPECT_EQ(g.PYTHON, "/Users/u/Library/Application Support/VARNO/python/bin/python");
    // Outside a bundle the resources are the working directory.
    QTemporaryDir trabajo;
    pruebas::escribir(trabajo.filePath("version.txt"), "9.9\n");
    const QString antes = QDir::currentPath();
    QDir::setCurrent(trabajo.path());
    EXPECT_EQ(calcularGlobales("/h", recursosDe("/usr/local/bin/VARNO")).VERSION, "9.9");
    QDir::setCurrent(antes);
    EXPECT_EQ(bundleDe("/tmp/Otro nombre.app/Contents/MacOS/x"), "/tmp/Otro nombre.app");
    EXPECT_EQ(bundleDe("/tmp/VARNO/Contents/MacOS/VARNO"), std::nullopt);
    EXPECT_EQ(bundleDe("/tmp/VARNO.app/MacOS/VARNO"), std::nullopt);
}

TEST(Texto, AcortarCuentaCaracteresPercibidos) {
    for (const QString& c :
         {QString('a'), QStringLiteral("e\u0301"), QStringLiteral("\U0001F1EA\U0001F1F8")}) {
        EXPECT_EQ(acortar(c.repeated(160)), c.repeated(160));
        EXPECT_EQ(acortar(c.repeated(161)), c.repeated(160) + QChar(0x2026));
    }
    EXPECT_EQ(recortarEspacios(u" \t\u00a0\u3000x y\t "), "x y");
    EXPECT_EQ(recortarEspacios(u"\nx\r"), "\nx\r");
}

// Without a screen, a start that needs the window says so in one line and
// fails, instead of the toolkit aborting.
TEST(Arranque, SinPantallaLoDiceEnUnaLinea) {
    pruebas::Casa casa;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        e.remove(v);
    e.insert("HOME", casa.home());
    QProcess varno;
    varno.setProcessEnvironment(e);
    varno.start(pruebas::ejecutable(), {"--no-mover"});
    ASSERT_TRUE(varno.waitForFinished(30'000));
    EXPECT_EQ(std::pair(varno.exitStatus(), varno.exitCode()), std::pair(QProcess::NormalExit, 1));
    const QString error = QString::fromUtf8(varno.readAllStandardError()).trimmed();
    EXPECT_TRUE(error.startsWith("VARNO necesita una pantalla") && !error.contains('\n'))
        << error.toStdString();
}

} // namespace
