#include "app/consola.h"
#include "app/decision.h"
#include "app/opciones.h"
#include "comun/comun.h"

namespace {

// Records what the decision asks for. The situation is a set of letters: M the move starts a
// copy, I installed, R the engine answers, A an older installation, N no screen, O ⌥ held.
struct Grabadora : Acciones {
    QString situacion;
    QStringList hechas;

    bool anota(const QString& que, QChar letra = {}) {
        hechas << que;
        return !letra.isNull() && situacion.contains(letra);
    }
    Resultado<> escribirIcono(const QString& r) override {
        return anota("icono " + r), Resultado<>();
    }
    Resultado<> escribirFondoDmg(const QString& r, double e) override {
        return anota(QStringLiteral("fondo %1 %2").arg(r).arg(e)), Resultado<>();
    }
    Resultado<> escribirCaptura(const QString& r, qint64 n) override {
        return anota(QStringLiteral("captura %1 %2").arg(r).arg(n)), Resultado<>();
    }
    void avisar(const QString& l) override { anota(l); }
    void salir(int e) override { anota(QStringLiteral("salir %1").arg(e)); }
    void moverAAplicaciones(std::function<void(bool)> luego) override {
        luego(anota("mover", 'M'));
    }
    void terminar() override { anota("terminar"); }
    void programarExpulsion(const QString& v) override { anota("expulsar " + v); }
    bool estaInstalado() override { return anota("instalado?", 'I'); }
    void sondearMotor(std::function<void(bool)> luego) override { luego(anota("responde?", 'R')); }
    void lanzarMotor() override { anota("lanzar"); }
    bool hayInstalacionAnterior() override { return situacion.contains('A'); }
    void fijarActualizando(bool a) override { anota(QStringLiteral("actualizando %1").arg(a)); }
    bool mostrarVentana(const QString& t) override { return !anota("ventana " + t, 'N'); }
    void abrirYEsperar() override { anota("esperar"); }
    void empezar() override { anota("empezar"); }
    bool opcionPulsada() override { return situacion.contains('O'); }
    void mantener() override { anota("mantener"); }
};

TEST(Decision, CadaSituacionLlevaASuDesenlace) {
    // (command line, situation, what is done)
    const std::tuple<const char*, const char*, const char*> casos[] = {
        // Packaging wins over everything, in the order icon, background, capture.
        {"--icono i.png --fondo-dmg f.png 2 --expulsar /V/D", "MIRA", "icono i.png;salir 0"},
        {"--captura c.png 3 --fondo-dmg f.png 2", "", "fondo f.png 2;salir 0"},
        // A relaunch wins over the eject; the hand-off shows no window.
        {"--expulsar /V/D", "M", "mover;terminar"},
        {"--expulsar /V/D", "IR", "mover;expulsar /V/D;instalado?;responde?;lanzar;terminar"},
        {"", "I", "mover;instalado?;responde?;ventana VARNO;esperar"},
        {"", "A", "mover;instalado?;actualizando 1;ventana Actualizar VARNO;empezar"},
        // Maintenance, asked or with ⌥ held, moves, ejects and starts nothing.
        {"--mantenimiento --expulsar /V/D", "MIR", "ventana Mantenimiento de VARNO;mantener"},
        {"", "OMIR", "ventana Mantenimiento de VARNO;mantener"},
        // Without a screen nothing starts behind a window that could not be shown.
        {"", "AN", "mover;instalado?;actualizando 1;ventana Actualizar VARNO"},
    };
    for (const auto& [linea, situacion, esperado] : casos) {
        SCOPED_TRACE(std::string(linea) + " / " + situacion);
        Grabadora g;
        g.situacion = QString::fromUtf8(situacion);
        decidirArranque(
            leerOpciones(("/x/VARNO " + QString::fromUtf8(linea)).split(' ', Qt::SkipEmptyParts)),
            g);
        EXPECT_EQ(g.hechas.join(';'), QString::fromUtf8(esperado));
    }
}

// From a terminal, leftovers alone are something to remove, and the installer's output reaches it
// as plain text, logged as the window logs it: a control character shows as U+FFFD instead of
// acting there.
TEST(Consola, LineasLlanas) {
    using M = Opciones::Mantenimiento;
    for (const auto& [opcion, deja, dice] :
         {std::tuple(M::eliminar, "descargas/a.parcial", "se liberan 0 MB.\n"),
          {M::reparar, "python/bin/python", "\n\uFFFD]0;x\uFFFD\uFFFD[2Jrojo b\uFFFD\n"}}) {
        pruebas::Casa casa;
        const Globales g = casa.globales();
        pruebas::escribir(g.DATOS + '/' + deja, "", true);
        pruebas::escribir(g.REGISTRO, "la corrida anterior\n");
        pruebas::escribir(g.RECURSOS + "/paquete/instalar_mac.sh",
                          "printf '\\033]0;x\\a\\033[2Jrojo\\tb\\302\\233\\n'\n");
        Opciones o;
        o.mantenimiento = opcion;
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(mantenerEnConsola(o, g), opcion == M::reparar);
        const std::string salida = ::testing::internal::GetCapturedStdout();
        EXPECT_NE(salida.find(dice), std::string::npos) << salida;
        // A repair's run has a log of its own, as from the window.
        EXPECT_EQ(pruebas::leer(g.REGISTRO).startsWith("VARNO 1.0.0: instalación "),
                  opcion == M::reparar);
    }
}

} // namespace
