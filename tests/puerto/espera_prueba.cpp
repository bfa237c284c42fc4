#include "app/delegado.h"
#include "comun/comun.h"
#include "engine/motor.h"
#include "ui/marca.h"
#include "ui/vistas.h"

using namespace std::chrono_literals;

namespace {

// A delegate whose engine is a fake interpreter running `motor` (none when empty) after
// recording its pid; every engine it started is gone at the end.
struct Espera {
    pruebas::Casa casa;
    QString pids = casa.home() + "/pids";
    std::unique_ptr<Delegado> d;

    explicit Espera(const QByteArray& motor, std::chrono::milliseconds limite = 3s) {
        const Globales g = casa.globales();
        if (!motor.isEmpty())
            pruebas::escribir(
                g.PYTHON, "#!/bin/bash\necho $$ >> '" + pids.toUtf8() + "'\n" + motor + "\n", true);
        QDir().mkpath(g.DATOS + "/app");
        d = std::make_unique<Delegado>(g, Tiempos{limite, 600ms, 50ms, 24h /* no quitting */});
        d->construir();
    }
    ~Espera() {
        d.reset();
        for (const QByteArray& pid : pruebas::leer(pids).split('\n'))
            if (pid.toInt() > 0) {
                ::kill(pid.toInt(), SIGKILL);
                pruebas::esperarHasta([&] { return !sigueVivo(pid.toInt()); });
            }
    }
    bool esperar() {
        d->abrirYEsperar();
        return pruebas::esperarHasta([&] { return !d->abriendo; }, 60s);
    }
    int motores() const { return pruebas::leer(pids).count('\n'); }
};

// Only an answer with "version" and a success status within 1.5 s opens, even while our own
// engine died (another copy may serve); another program on the port is never taken for it.
// An engine that dies, hangs or never answers well ends at the limit with the line of its
// log that explains why.
TEST(Espera, SeRindeConLaLineaQueExplica) {
    struct Caso {
        QByteArray motor, log, respuesta; // `respuesta`: what the port answers, if anything
        std::chrono::milliseconds retraso;
        QString detalle;
        std::chrono::milliseconds limite = 3s; // near the probe's limit: time for another try
        bool reintentar = false;               // "Reintentar" then starts another engine
    };
    const QString abrio = "La ventana de VARNO aparece en unos segundos.",
                  motivo = "El motivo está en el registro.";
    const QString enUso = "OSError: [Errno 98] Address already in use";
    const QByteArray ocupado = "echo '" + enUso.toUtf8() + "' >> ../mesa.log; exit 1",
                     bien = pruebas::http(200);
    const Caso casos[] = {
        {"exit 1", {}, bien, 0ms, abrio},
        {"sleep 30", {}, bien, 1400ms, abrio, 6s},
        {"sleep 30", {}, bien, 1600ms, motivo, 6s},
        {"sleep 30", {}, pruebas::http(200, R"({"hola": 1})"), 0ms, motivo},
        {"sleep 30", {}, pruebas::http(500, "version"), 0ms, motivo},
        {"", "arrancando\nError: puerto ocupado\nadiós\n", {}, 0ms, "Error: puerto ocupado"},
        {"exit 3", {}, {}, 0ms, motivo, 3s, true},
        {"sleep 30", "---\n", {}, 0ms, motivo},
        {"sleep 30", {}, bien, 1h, motivo},
        {ocupado, {}, pruebas::http(404, "version"), 0ms, enUso},
        {ocupado, {}, "version 9\r\n", 0ms, enUso}, // not HTTP
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.motor.toStdString() + " | " + c.respuesta.toStdString());
        std::optional<pruebas::Puerto> puerto;
        if (!c.respuesta.isEmpty())
            puerto.emplace(c.respuesta, c.retraso);
        Espera e(c.motor, c.limite);
        if (!c.log.isEmpty())
            pruebas::escribir(e.d->g.MESA_LOG, c.log);
        ASSERT_TRUE(e.esperar());
        const bool abre = c.detalle == abrio;
        EXPECT_EQ(e.d->noAbrio, !abre);
        EXPECT_EQ(e.d->estado->texto(), abre ? "VARNO está abierto." : "VARNO no pudo abrirse.");
        EXPECT_EQ(e.d->estado->color(), abre ? Marca::bien : Marca::mal);
        EXPECT_EQ(e.d->detalle->texto(), c.detalle);
        // The opening screen stays up until VARNO quits; a failure offers a retry.
        EXPECT_EQ(e.d->boton->activo() ? e.d->boton->titulo() : "", abre ? "" : "Reintentar");
        if (c.reintentar) {
            e.d->alBoton();
            EXPECT_DOUBLE_EQ(e.d->barra->valor(), 0.04);
            ASSERT_TRUE(pruebas::esperarHasta([&] { return !e.d->abriendo; }));
            EXPECT_EQ(e.motores(), 2);
        }
    }
}

// Closing the window while a probe hangs returns once the probe is over and leaves nothing
// running that could reach the gone window.
TEST(Espera, CerrarDuranteLaEsperaNoDejaNadaColgado) {
    pruebas::Puerto mudo(pruebas::http(200), 1h);
    Espera e("sleep 60", 60s);
    e.d->abrirYEsperar();
    ASSERT_TRUE(pruebas::esperarHasta([&] { return e.motores() == 1; }));
    pruebas::esperarHasta([] { return false; }, 500ms);
    e.d.reset();
}

} // namespace
