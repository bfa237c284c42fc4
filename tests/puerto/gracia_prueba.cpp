#include "comun/comun.h"
#include "engine/espera.h"
#include "engine/motor.h"

#include <thread>

using namespace std::chrono_literals;

namespace {

// The engine answered when the port gives a success status, below 400, with "version" in
// the body, as written. No timing is asserted: the late answer simply never comes in time.
TEST(Sonda, QueCuentaComoRespuesta) {
    pruebas::Casa casa;
    const Globales g = casa.globales();
    // (what the port answers, after how long, the engine answered)
    const std::tuple<QByteArray, std::chrono::milliseconds, bool> casos[] = {
        {pruebas::http(200), 0ms, true},
        {pruebas::http(399, "version"), 0ms, true},
        {pruebas::http(400, "version"), 0ms, false},
        {pruebas::http(200, R"({"Version": 1})"), 0ms, false},
        {pruebas::http(200), 1h, false},
    };
    for (const auto& [respuesta, retraso, responde_] : casos) {
        pruebas::Puerto puerto(respuesta, retraso);
        std::atomic<int> dijo{-1};
        std::thread sonda([&] { dijo = responde(g); });
        // The port answers from this thread's event loop.
        pruebas::esperarHasta([&] { return dijo >= 0; }, 60s);
        sonda.join();
        EXPECT_EQ(dijo, int(responde_)) << respuesta.toStdString();
    }
}

// Hears the wait as the window would; the calls come from the waiting thread.
struct Oido : OyenteEspera {
    std::atomic<int> fin{0}; // 1 opened, 2 gave up
    void esperaAvanza(double) override {}
    void motorAbrio() override { fin = 1; }
    void motorNoAbrio() override { fin = 2; }
    void puertoAjeno() override { fin = 3; }
};

// Once the engine's process is gone VARNO probes on for the grace period (another copy may
// yet answer) and then gives up, long before the limit; an engine that runs is awaited until
// the limit. Only lower bounds of time are asserted: a slow machine only waits longer.
TEST(Espera, GraciaTrasElFinDelMotorYLimite) {
    // The real durations, which no test can afford to wait out.
    EXPECT_EQ(Tiempos{}.limiteEspera, 240s);
    EXPECT_EQ(Tiempos{}.graciaMotor, 8s);
    EXPECT_EQ(Tiempos{}.pausaSonda, 500ms);
    for (const auto& [t, barra] :
         {std::pair(0.0, 0.04), {45.0, 0.49}, {90.0, 0.94}, {91.0, 0.95}, {1e6, 0.95}})
        EXPECT_NEAR(curvaEspera(t), barra, 1e-9) << t;

    qint64 muerto = 0, vivo = 0;
    ASSERT_TRUE(QProcess::startDetached("/bin/true", {}, {}, &muerto));
    ASSERT_TRUE(QProcess::startDetached("/bin/sleep", {"60"}, {}, &vivo));
    ASSERT_TRUE(pruebas::esperarHasta([&] { return !sigueVivo(muerto); }));
    enum { abre = 1, seRinde = 2 };
    const struct {
        const char* nombre;
        std::optional<qint64> motor;
        bool puerto;                                        // answers as the engine
        std::chrono::milliseconds gracia, limite, yaPasado; // of the limit, at the start
        int fin;
        std::chrono::milliseconds minimo; // the wait lasts at least this long
    } casos[] = {
        {"sin motor", std::nullopt, false, 700ms, 1h, 0ms, seRinde, 700ms},
        {"motor terminado", muerto, false, 700ms, 1h, 0ms, seRinde, 700ms},
        {"motor terminado, otro responde", muerto, true, 0ms, 1h, 0ms, abre, 0ms},
        {"motor que corre", vivo, false, 0ms, 1500ms, 0ms, seRinde, 1500ms},
        // Given up before the first probe, which would have found an answer.
        {"límite ya pasado", vivo, true, 1h, 1h, 1h, seRinde, 0ms},
    };
    pruebas::Casa casa;
    const Globales g = casa.globales();
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        // Held even when the engine must not answer, so that nothing else answers for it.
        pruebas::Puerto puerto(c.puerto ? pruebas::http(200) : pruebas::http(503));
        Oido oido;
        std::atomic<bool> parar{false};
        const auto inicio = std::chrono::steady_clock::now();
        std::thread espera([&] {
            esperarMotor(g, Tiempos{c.limite, c.gracia, 50ms}, c.motor, inicio - c.yaPasado, parar,
                         oido);
        });
        EXPECT_TRUE(pruebas::esperarHasta([&] { return oido.fin != 0; }, 60s));
        const auto duro = std::chrono::steady_clock::now() - inicio;
        parar = true;
        espera.join();
        EXPECT_EQ(oido.fin, c.fin);
        EXPECT_GE(duro, c.minimo);
    }
    ::kill(pid_t(vivo), SIGKILL);
}

} // namespace
