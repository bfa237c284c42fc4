#include "app/opciones.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(Escala, SoloNumerosDelLocaleCEnteros) {
    struct Caso {
        const char* texto;
        std::optional<double> esperada;
    };
    const Caso casos[] = {
        {"2", 2.0},  {"1.5", 1.5}, {"0.333", 0.333}, {"+2", 2.0},   {"-1", -1.0},
        {".5", 0.5}, {"5.", 5.0},  {"1e1", 10.0},    {"2E-1", 0.2}, {"0", 0.0},
        {"x", {}},   {"2,5", {}},  {" 2", {}},       {"2 ", {}},    {"", {}},
        {"inf", {}}, {"nan", {}},  {"0x10", {}},     {"1e", {}},    {".", {}},
        {"--2", {}}, {"2x", {}},   {"١", {}},        {"2\n", {}},   {"e5", {}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.texto);
        const auto e = leerEscala(QString::fromUtf8(c.texto));
        ASSERT_EQ(e.has_value(), c.esperada.has_value());
        if (e)
            EXPECT_DOUBLE_EQ(*e, *c.esperada);
    }
    // Written correctly but beyond a double: infinite, which the artwork then refuses.
    EXPECT_TRUE(std::isinf(*leerEscala(QStringLiteral("1e999"))));
}

TEST(Pantalla, EnteroDecimalDe64Bits) {
    struct Caso {
        const char* texto;
        std::optional<qint64> esperada;
    };
    const Caso casos[] = {
        {"3", 3},
        {"+4", 4},
        {"-0", 0},
        {"99", 99},
        {"-2", -2},
        {"9223372036854775807", std::numeric_limits<qint64>::max()},
        {"9223372036854775808", {}},
        {"abc", {}},
        {"3.0", {}},
        {" 3", {}},
        {"", {}},
        {"+", {}},
        {"0x3", {}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.texto);
        EXPECT_EQ(leerPantalla(QString::fromUtf8(c.texto)), c.esperada);
    }
}

QStringList linea(std::initializer_list<const char*> partes) {
    QStringList l{QStringLiteral("/VARNO.app/Contents/MacOS/VARNO")};
    for (const char* p : partes)
        l.append(QString::fromUtf8(p));
    return l;
}

TEST(Opciones, SoloCuentaLaPrimeraAparicionYSusValoresSeanLoQueSean) {
    auto o = leerOpciones(linea({"--icono", "--no-mover", "--icono", "b.png"}));
    ASSERT_TRUE(o.icono);
    EXPECT_EQ(*o.icono, "--no-mover");
    EXPECT_TRUE(o.noMover);

    o = leerOpciones(linea({"--captura", "c.png", "abc", "--captura", "d.png", "3"}));
    ASSERT_TRUE(o.captura);
    EXPECT_EQ(o.captura->ruta, "c.png");
    EXPECT_EQ(o.captura->pantalla, 0);

    o = leerOpciones(linea({"--fondo-dmg", "f.png", "2,5"}));
    ASSERT_TRUE(o.fondoDmg);
    EXPECT_EQ(o.fondoDmg->escala, 1.0);
}

TEST(Opciones, SinSusValoresSeIgnoran) {
    const QStringList casos[] = {
        linea({"--icono"}),
        linea({"--fondo-dmg", "f.png"}),
        linea({"--captura", "c.png"}),
        linea({"--expulsar"}),
        // Only the first occurrence counts, even when a later one is complete.
        linea({"--fondo-dmg", "f.png", "--fondo-dmg"}).mid(0, 3),
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.join(' ').toStdString());
        const auto o = leerOpciones(c);
        EXPECT_FALSE(o.icono || o.fondoDmg || o.captura || o.expulsar);
    }
    // The program's own path is never an option.
    EXPECT_FALSE(leerOpciones({QStringLiteral("--no-mover")}).noMover);
    EXPECT_FALSE(leerOpciones(linea({"--ICONO", "a.png"})).icono);
}

} // namespace
