#include "comun/comun.h"
#include "engine/espera.h"
#include "engine/motor.h"

#include <thread>

using namespace std::chrono_literals;

namespace {

// Hears the wait as the window would; the calls come from the waiting thread.
struct Oido : OyenteEspera {
    std::atomic<int> fin{0}; // 1 opened, 2 gave up
    void esperaAvanza(double) override {}
    void motorAbrio() override { fin = 1; }
    void motorNoAbrio() override { fin = 2; }
    void puertoAjeno() override { fin = 3; }
};

// Once the engine's process is gone the wait goes on for the grace, then gives up long before
// the limit; a running engine is awaited until the limit. Only lower bounds of time are asserted.
TEST(Espera, GraciaTrasElFinDelMotorYLimite) {
    EXPECT_TRUE(Tiempos{}.limiteEspera == 240s && Tiempos{}.graciaMotor == 8s);
    for (const auto& [t, barra] :
         {std::pair(0.0, 0.04), {45.0, 0.49}, {90.0, 0.94}, {91.0, 0.95}, {1e6, 0.95}})
        EXPECT_NEAR(curvaEspera(t), barra, 1e-9) << t;

    qint64 muerto = 0, vivo = 0;
    ASSERT_TRUE(QProcess::startDetached("/bin/true", {}, {}, &muerto));
    ASSERT_TRUE(QProcess::startDetached("/bin/sleep", {"60"}, {}, &vivo));
    ASSERT_TRUE(pruebas::esperarHasta([&] { return !sigueVivo(muerto); }));
    const struct { // every one gives up
        const char* nombre;
        std::optional<qint64> motor;
        bool puerto;                                        // answers as the engine
        std::chrono::milliseconds gracia, limite, yaPasado; // of the limit, at the start
        std::chrono::milliseconds minimo;                   // the wait lasts at least this long
    } casos[] = {
        {"sin motor", std::nullopt, false, 700ms, 1h, 0ms, 700ms},
        {"motor terminado", muerto, false, 700ms, 1h, 0ms, 700ms},
        {"motor que corre", vivo, false, 0ms, 1500ms, 0ms, 1500ms},
        // Given up before the first probe, which would have found an answer.
        {"límite ya pasado", vivo, true, 1h, 1h, 1h, 0ms},
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
        EXPECT_EQ(oido.fin, 2);
        EXPECT_GE(duro, c.minimo);
    }
    ::kill(pid_t(vivo), SIGKILL);
}

} // namespace
