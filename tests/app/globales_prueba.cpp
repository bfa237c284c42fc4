#include "app/globales.h"
#include "app/texto.h"
#include "comun/comun.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

TEST(Version, ReglasDelArchivo) {
    struct Caso {
        const char* nombre;
        std::optional<QByteArray> contenido; // nothing: no file at all
        QString esperada;
    };
    const Caso casos[] = {
        {"salto final", QByteArray("1.4.0\n"), "1.4.0"},
        {"blancos dentro se quedan", QByteArray("  2.0 rc1 \n"), "2.0 rc1"},
        {"CRLF y tabuladores", QByteArray("\t3.1\r\n"), "3.1"},
        {"separadores Unicode", QByteArray("\u2028\u00a01.2\u2003\u0085"), "1.2"},
        {"vacío", QByteArray(""), ""},
        {"solo blancos", QByteArray(" \n\n\t"), ""},
        {"UTF-8 inválido", QByteArray("1.0\xff\n"), "beta"},
        {"sin archivo", std::nullopt, "beta"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        QTemporaryDir d;
        if (c.contenido)
            pruebas::escribir(d.filePath("version.txt"), *c.contenido);
        EXPECT_EQ(leerVersion(d.path()), c.esperada);
    }
    // A folder where the file should be is unreadable as text.
    QTemporaryDir d;
    QDir(d.path()).mkdir("version.txt");
    EXPECT_EQ(leerVersion(d.path()), "beta");
}

TEST(Globales, RutasDesdeLaCasa) {
    QTemporaryDir recursos;
    pruebas::escribir(recursos.filePath("version.txt"), "7\n");
    const Globales g = calcularGlobales("/Users/usuario", recursos.path());
    EXPECT_EQ(g.DATOS, "/Users/usuario/Library/Application Support/VARNO");
    EXPECT_EQ(g.PYTHON, g.DATOS + "/python/bin/python");
    EXPECT_EQ(g.REGISTRO, g.DATOS + "/instalacion.log");
    EXPECT_EQ(g.MESA_LOG, g.DATOS + "/mesa.log");
    EXPECT_EQ(g.VERSION, "7");
    EXPECT_EQ(g.herramientas.curl, "/usr/bin/curl");
    EXPECT_EQ(g.herramientas.bash, "/bin/bash");
}

TEST(Globales, SinBundleLosRecursosSonLaCarpetaDeTrabajo) {
    QTemporaryDir trabajo;
    pruebas::escribir(trabajo.filePath("version.txt"), "9.9\n");
    const QString antes = QDir::currentPath();
    QDir::setCurrent(trabajo.path());
    const Globales g = calcularGlobales("/h", recursosDe("/usr/local/bin/VARNO"));
    QDir::setCurrent(antes);
    EXPECT_EQ(g.VERSION, "9.9");
}

TEST(Bundle, SoloConLaFormaDeUnBundle) {
    struct Caso {
        const char* ejecutable;
        std::optional<QString> bundle;
    };
    const Caso casos[] = {
        {"/Applications/VARNO.app/Contents/MacOS/VARNO", "/Applications/VARNO.app"},
        {"/tmp/Otro nombre.app/Contents/MacOS/x", "/tmp/Otro nombre.app"},
        {"/usr/bin/VARNO", std::nullopt},
        {"/tmp/VARNO/Contents/MacOS/VARNO", std::nullopt},
        {"/tmp/VARNO.app/MacOS/VARNO", std::nullopt},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.ejecutable);
        EXPECT_EQ(bundleDe(c.ejecutable), c.bundle);
    }
    EXPECT_EQ(recursosDe("/A/V.app/Contents/MacOS/V"), "/A/V.app/Contents/Resources");
}

TEST(Texto, AcortarCuentaCaracteresPercibidos) {
    const QString e = QStringLiteral("e\u0301"); // one character, two code points
    const QString bandera = QStringLiteral("\U0001F1EA\U0001F1F8");
    struct Caso {
        QString texto;
        QString esperado;
    };
    const Caso casos[] = {
        {QString(160, 'a'), QString(160, 'a')},
        {QString(161, 'a'), QString(160, 'a') + QChar(0x2026)},
        {e.repeated(160), e.repeated(160)},
        {e.repeated(161), e.repeated(160) + QChar(0x2026)},
        {bandera.repeated(160), bandera.repeated(160)},
        {bandera.repeated(170), bandera.repeated(160) + QChar(0x2026)},
        {QString(), QString()},
    };
    for (const auto& c : casos)
        EXPECT_EQ(acortar(c.texto), c.esperado) << c.texto.size();
}

TEST(Texto, RecortarSoloEspaciosYTabuladores) {
    EXPECT_EQ(recortarEspacios(u" \t\u00a0\u3000x y\t "), "x y");
    // Line breaks are not trimmed here; framing removes them.
    EXPECT_EQ(recortarEspacios(u"\nx\r"), "\nx\r");
}

} // namespace
