// The wait for the engine, with short limits.
#include "app/delegado.h"
#include "comun/comun.h"
#include "comun/servidor.h"
#include "engine/motor.h"
#include "ui/marca.h"
#include "ui/vistas.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace std::chrono_literals;

namespace {

// The engines a test lets VARNO start record their pid, so the test stops them.
struct Espera {
    pruebas::Casa casa;
    std::unique_ptr<Delegado> d;
    QString pids;

    // `motor`: the body of the fake interpreter after its pid is recorded.
    explicit Espera(const QByteArray& motor, std::chrono::milliseconds apertura = 24h) {
        Globales g = casa.globales();
        pids = casa.home() + "/pids";
        if (!motor.isEmpty())
            pruebas::escribir(
                g.PYTHON, "#!/bin/bash\necho $$ >> '" + pids.toUtf8() + "'\n" + motor + "\n", true);
        QDir().mkpath(g.DATOS + "/app");
        Tiempos t;
        t.limiteEspera = 3s;
        t.graciaMotor = 600ms;
        t.pausaSonda = 50ms;
        t.retrasoSalida = 24h; // quitting is not what these tests look at
        t.retrasoApertura = apertura;
        d = std::make_unique<Delegado>(g, t);
        d->construir();
    }
    ~Espera() {
        d.reset();
        for (const QByteArray& pid : pruebas::leer(pids).split('\n'))
            if (pid.toInt() > 0)
                ::kill(pid.toInt(), SIGKILL);
    }
    bool esperar() {
        d->abrirYEsperar();
        return pruebas::esperarHasta([&] { return !d->abriendo; });
    }
    int motores() const { return pruebas::leer(pids).count('\n'); }
};

// An answer wins, even when our own engine died: another copy may serve.
TEST(Espera, UnaRespuestaAbre) {
    pruebas::Servidor s;
    ASSERT_TRUE(s.listo());
    for (const char* motor : {"sleep 30", "exit 1"}) {
        Espera e(motor);
        ASSERT_TRUE(e.esperar());
        EXPECT_FALSE(e.d->noAbrio) << motor;
        EXPECT_EQ(e.d->barra->valor(), 1.0);
        EXPECT_EQ(e.d->estado->texto(), "VARNO está abierto.");
        EXPECT_EQ(e.d->estado->color(), Marca::bien);
        EXPECT_FALSE(e.d->boton->activo()) << "the opening screen stays up until VARNO quits";
    }
}

TEST(Espera, SeRindeConLaLineaQueExplica) {
    struct Caso {
        QByteArray motor; // empty: no interpreter at all
        std::optional<QByteArray> log;
        QString detalle;
    };
    const QString motivo = "El motivo está en el registro.";
    const Caso casos[] = {
        {"", "arrancando\nError: el puerto 8770 está ocupado\nadiós\n",
         "Error: el puerto 8770 está ocupado"},
        {"exit 3", std::nullopt, motivo},
        {"sleep 30", "---\n", motivo},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.motor.data());
        Espera e(c.motor);
        if (c.log)
            pruebas::escribir(e.d->g.MESA_LOG, *c.log);
        ASSERT_TRUE(e.esperar());
        EXPECT_TRUE(e.d->noAbrio);
        EXPECT_EQ(e.d->estado->texto(), "VARNO no pudo abrirse.");
        EXPECT_EQ(e.d->estado->color(), Marca::mal);
        EXPECT_EQ(e.d->detalle->texto(), c.detalle);
        EXPECT_EQ(e.d->boton->titulo(), "Reintentar");
        EXPECT_FALSE(e.d->registroBoton->isHidden());
    }
}

TEST(Espera, ReintentarArrancaOtroMotorYEmpiezaLaBarraDeNuevo) {
    Espera e("exit 1");
    ASSERT_TRUE(e.esperar());
    ASSERT_TRUE(e.d->noAbrio);
    e.d->alBoton();
    EXPECT_TRUE(e.d->abriendo);
    EXPECT_FALSE(e.d->noAbrio);
    EXPECT_DOUBLE_EQ(e.d->barra->valor(), 0.04);
    e.d->alBoton(); // ignored while opening
    ASSERT_TRUE(pruebas::esperarHasta([&] { return !e.d->abriendo; }));
    EXPECT_EQ(e.motores(), 2);
}

// After an installation the engine is opened once, even when the user clicks
// "Abrir VARNO" before the delayed opening comes.
TEST(Espera, UnaSolaAperturaTrasInstalar) {
    Espera e("exit 1", 300ms);
    e.d->termino(true);
    EXPECT_TRUE(e.d->listo);
    e.d->alBoton();
    ASSERT_TRUE(pruebas::esperarHasta([&] { return !e.d->abriendo; }));
    pruebas::esperarHasta([] { return false; }, 600ms);
    EXPECT_FALSE(e.d->abriendo);
    EXPECT_EQ(e.motores(), 1);
}

} // namespace
