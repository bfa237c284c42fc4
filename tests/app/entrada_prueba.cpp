// What the program reads at its start besides the option grammar, which the
// decision's table holds: the numbers on its command line and the version file.
#include "app/opciones.h"
#include "base/globales.h"
#include "comun/comun.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// A number only when it is the whole argument, read as the C library reads it.
TEST(Opciones, EscalaYPantallaSoloSiSonElArgumentoEntero) {
    const std::pair<const char*, std::optional<double>> escalas[] = {
        {"+1.5", 1.5}, {"-.5", -0.5}, {"2E-1", 0.2}, {"1e-999", 0.0}, {"2,5", {}},
        {" 2", {}},    {"inf", {}},   {"0x10", {}},  {"1e", {}},      {"٢", {}},
    };
    for (const auto& [texto, esperada] : escalas)
        EXPECT_EQ(leerEscala(QString::fromUtf8(texto)), esperada) << texto;
    EXPECT_TRUE(std::isinf(*leerEscala("1e999"))); // the artwork then refuses it
    const std::pair<const char*, std::optional<qint64>> pantallas[] = {
        {"+3", 3},   {"-0", 0},  {"9223372036854775807", std::numeric_limits<qint64>::max()},
        {"3.0", {}}, {" 3", {}}, {"9223372036854775808", {}},
        {"+", {}},
    };
    for (const auto& [texto, esperada] : pantallas)
        EXPECT_EQ(leerPantalla(QString::fromUtf8(texto)), esperada) << texto;
}

// The version is the file's text without white space and line breaks around
// it, or "beta"; the bundle is named from the executable's path alone.
TEST(Globales, VersionYBundle) {
    const std::pair<std::optional<QByteArray>, QString> versiones[] = {
        {"\u2028\u00a01.2\u2003\u0085\r\n", "1.2"},
        {"1.0\xff\n", "beta"},
        {std::nullopt, "beta"},
    };
    for (const auto& [contenido, esperada] : versiones) {
        QTemporaryDir d;
        if (contenido)
            pruebas::escribir(d.filePath("version.txt"), *contenido);
        EXPECT_EQ(leerVersion(d.path()), esperada) << contenido.value_or("(sin archivo)").data();
    }
    EXPECT_EQ(bundleDe("/tmp/Otro nombre.app/Contents/MacOS/x"), "/tmp/Otro nombre.app");
    EXPECT_EQ(bundleDe("/tmp/VARNO/Contents/MacOS/VARNO"), std::nullopt);
    EXPECT_EQ(bundleDe("/tmp/VARNO.app/MacOS/VARNO"), std::nullopt);
}

} // namespace
