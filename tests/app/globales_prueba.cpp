#include "base/globales.h"
#include "base/texto.h"
#include "comun/comun.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

TEST(Version, ReglasDelArchivo) {
    const std::pair<std::optional<QByteArray>, QString> casos[] = {
        {"1.4.0\n", "1.4.0"},
        {"  2.0 rc1 \n", "2.0 rc1"},
        {"\u2028\u00a01.2\u2003\u0085\r\n", "1.2"},
        {"", ""},
        {" \n\n\t", ""},
        {"1.0\xff\n", "beta"},
        {std::nullopt, "beta"},
    };
    for (const auto& [contenido, esperada] : casos) {
        QTemporaryDir d;
        if (contenido)
            pruebas::escribir(d.filePath("version.txt"), *contenido);
        EXPECT_EQ(leerVersion(d.path()), esperada) << contenido.value_or("(sin archivo)").data();
    }
    QTemporaryDir d;
    QDir(d.path()).mkdir("version.txt");
    EXPECT_EQ(leerVersion(d.path()), "beta");
}

TEST(Globales, RutasYRecursos) {
    const Globales g = calcularGlobales("/Users/usuario", QStringLiteral("/no/existe"));
    EXPECT_EQ(g.PYTHON, "/Users/usuario/Library/Application Support/VARNO/python/bin/python");
    EXPECT_EQ(g.VERSION, "beta");

    // Outside a bundle the resources are the working directory.
    QTemporaryDir trabajo;
    pruebas::escribir(trabajo.filePath("version.txt"), "9.9\n");
    const QString antes = QDir::currentPath();
    QDir::setCurrent(trabajo.path());
    const Globales suelto = calcularGlobales("/h", recursosDe("/usr/local/bin/VARNO"));
    QDir::setCurrent(antes);
    EXPECT_EQ(suelto.VERSION, "9.9");

    const std::pair<const char*, std::optional<QString>> bundles[] = {
        {"/tmp/Otro nombre.app/Contents/MacOS/x", "/tmp/Otro nombre.app"},
        {"/tmp/VARNO/Contents/MacOS/VARNO", std::nullopt},
        {"/tmp/VARNO.app/MacOS/VARNO", std::nullopt},
    };
    for (const auto& [ejecutable, bundle] : bundles)
        EXPECT_EQ(bundleDe(ejecutable), bundle) << ejecutable;
}

TEST(Texto, AcortarCuentaCaracteresPercibidos) {
    const QString e = QStringLiteral("e\u0301"); // one character, two code points
    const QString bandera = QStringLiteral("\U0001F1EA\U0001F1F8");
    const QChar puntos(0x2026);
    for (const QString& c : {QString('a'), e, bandera}) {
        EXPECT_EQ(acortar(c.repeated(160)), c.repeated(160));
        EXPECT_EQ(acortar(c.repeated(161)), c.repeated(160) + puntos);
    }
    EXPECT_EQ(recortarEspacios(u" \t\u00a0\u3000x y\t "), "x y");
    EXPECT_EQ(recortarEspacios(u"\nx\r"), "\nx\r");
}

} // namespace
