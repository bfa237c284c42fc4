#include "app/decision.h"

#include <gtest/gtest.h>

namespace {

// Records what the decision asks for, answering from a given situation.
struct Grabadora : Acciones {
    bool mueve = false;
    bool instaladoYa = false;
    bool responde = false;
    bool anterior = false;
    bool pantalla = true;
    QStringList hechas;

    void escribirIcono(const QString& r) override { hechas << "icono " + r; }
    void escribirFondoDmg(const QString& r, double e) override {
        hechas << QStringLiteral("fondo %1 %2").arg(r).arg(e);
    }
    void escribirCaptura(const QString& r, qint64 n) override {
        hechas << QStringLiteral("captura %1 %2").arg(r).arg(n);
    }
    void salir(int e) override { hechas << QStringLiteral("salir %1").arg(e); }
    bool moverAAplicaciones() override {
        hechas << "mover";
        return mueve;
    }
    void terminar() override { hechas << "terminar"; }
    void programarExpulsion(const QString& v) override { hechas << "expulsar " + v; }
    bool estaInstalado() override {
        hechas << "instalado?";
        return instaladoYa;
    }
    bool motorResponde() override {
        hechas << "responde?";
        return responde;
    }
    void lanzarMotor() override { hechas << "lanzar"; }
    bool hayInstalacionAnterior() override { return anterior; }
    void fijarActualizando(bool a) override { hechas << QStringLiteral("actualizando %1").arg(a); }
    bool mostrarVentana(const QString& t) override {
        hechas << "ventana " + t;
        return pantalla;
    }
    void abrirYEsperar() override { hechas << "esperar"; }
    void empezar() override { hechas << "empezar"; }
};

QStringList argumentos(const QString& resto) {
    QStringList l{QStringLiteral("/x/VARNO")};
    if (!resto.isEmpty())
        l += resto.split(' ');
    return l;
}

TEST(Decision, CadaSituacionLlevaASuDesenlace) {
    struct Caso {
        const char* nombre;
        const char* linea;
        bool mueve, instalado, responde, anterior;
        QStringList esperado;
    };
    const Caso casos[] = {
        {"icono gana a todo",
         "--icono i.png --fondo-dmg f.png 2 --expulsar /Volumes/D",
         true,
         true,
         true,
         true,
         {"icono i.png", "salir 0"}},
        {"fondo antes que captura",
         "--captura c.png 3 --fondo-dmg f.png 2",
         false,
         false,
         false,
         false,
         {"fondo f.png 2", "salir 0"}},
        {"captura con pantalla inválida",
         "--captura c.png abc",
         false,
         false,
         false,
         false,
         {"captura c.png 0", "salir 0"}},
        {"icono sin valor se ignora",
         "--icono",
         false,
         false,
         false,
         false,
         {"mover", "instalado?", "actualizando 0", "ventana "}},
        {"el traslado gana a la expulsión",
         "--expulsar /Volumes/D",
         true,
         false,
         false,
         false,
         {"mover", "terminar"}},
        {"relevo: instalado y respondiendo",
         "--expulsar /Volumes/D",
         false,
         true,
         true,
         false,
         {"mover", "expulsar /Volumes/D", "instalado?", "responde?", "lanzar", "terminar"}},
        {"abrir: instalado sin respuesta",
         "",
         false,
         true,
         false,
         false,
         {"mover", "instalado?", "responde?", "ventana VARNO", "esperar"}},
        {"actualizar",
         "",
         false,
         false,
         false,
         true,
         {"mover", "instalado?", "actualizando 1", "ventana Actualizar VARNO", "empezar"}},
        {"primera instalación espera el botón",
         "",
         false,
         false,
         false,
         false,
         {"mover", "instalado?", "actualizando 0", "ventana "}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        Grabadora g;
        g.mueve = c.mueve;
        g.instaladoYa = c.instalado;
        g.responde = c.responde;
        g.anterior = c.anterior;
        decidirArranque(argumentos(QString::fromUtf8(c.linea)), g);
        EXPECT_EQ(g.hechas, c.esperado);
    }
}

TEST(Decision, SinPantallaNoSigue) {
    Grabadora g;
    g.anterior = true;
    g.pantalla = false;
    decidirArranque(argumentos({}), g);
    EXPECT_FALSE(g.hechas.contains("empezar"));
    g = Grabadora{};
    g.instaladoYa = true;
    g.pantalla = false;
    decidirArranque(argumentos({}), g);
    EXPECT_FALSE(g.hechas.contains("esperar"));
}

} // namespace
