#include "app/opciones.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(Opciones, EscalaYPantallaSoloSiSonElArgumentoEntero) {
    const std::pair<const char*, std::optional<double>> escalas[] = {
        {"2", 2.0},  {"+1.5", 1.5}, {"-1", -1.0}, {".5", 0.5}, {"5.", 5.0}, {"2E-1", 0.2},
        {"x", {}},   {"2,5", {}},   {" 2", {}},   {"2 ", {}},  {"", {}},    {"inf", {}},
        {"nan", {}}, {"0x10", {}},  {"1e", {}},   {".", {}},   {"٢", {}},   {"2\n", {}},
    };
    for (const auto& [texto, esperada] : escalas)
        EXPECT_EQ(leerEscala(QString::fromUtf8(texto)), esperada) << texto;
    // Written correctly but beyond a double: infinite, which the artwork then refuses.
    EXPECT_TRUE(std::isinf(*leerEscala("1e999")));

    const std::pair<const char*, std::optional<qint64>> pantallas[] = {
        {"3", 3},
        {"+4", 4},
        {"-0", 0},
        {"99", 99},
        {"9223372036854775807", std::numeric_limits<qint64>::max()},
        {"9223372036854775808", {}},
        {"abc", {}},
        {"3.0", {}},
        {" 3", {}},
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
    EXPECT_EQ(o.captura->ruta, "c.png");
    EXPECT_EQ(o.captura->pantalla, 0);
    EXPECT_EQ(o.fondoDmg->escala, 1.0);

    // Without all their values the options are not there at all.
    for (const char* l :
         {"--icono", "--fondo-dmg f.png", "--captura c.png", "--expulsar", "--ICONO a.png"}) {
        o = leer(QString::fromUtf8(l));
        EXPECT_FALSE(o.icono || o.fondoDmg || o.captura || o.expulsar) << l;
    }
    EXPECT_FALSE(leerOpciones({"--no-mover"}).noMover) << "the program's own path";
}

} // namespace
