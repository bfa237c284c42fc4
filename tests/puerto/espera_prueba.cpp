#include "app/delegado.h"
#include "base/proceso.h"
#include "comun/comun.h"
#include "engine/espera.h"
#include "engine/motor.h"
#include "engine/puerto.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <sys/socket.h>

using namespace std::chrono_literals;

namespace {

// A delegate whose engine notes its pid and runs `motor`; each engine started is gone at the end.
struct Espera {
    pruebas::Casa casa;
    QString pids = casa.home() + "/pids";
    const Globales g = casa.globales();
    std::unique_ptr<Delegado> d;

    explicit Espera(const QByteArray& motor, std::chrono::milliseconds limite = 3s) {
        pruebas::escribir(g.PYTHON,
                          "#!/bin/bash\necho $$ >> '" + pids.toUtf8() +
                              "'\n[ \"$*\" = '-I -m motor' ] || exit 9\n" + motor + "\n",
                          true);
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
        return pruebas::esperarHasta([&] { return d->fase() != Delegado::Fase::abriendo; }, 60s);
    }
    Etiqueta* texto(const char* nombre) const {
        return pruebas::vista<Etiqueta>(d->ventana(), nombre);
    }
};

// Only a status below 400 with "version" within 1.5 s opens, even from another copy after ours
// died; ~/.curlrc changes nothing. Else the limit ends it with the line that explains why.
TEST(Espera, SeRindeConLaLineaQueExplica) {
    struct Caso {
        QByteArray motor, respuesta; // `respuesta`: what the port answers, if anything
        std::chrono::milliseconds retraso;
        QString detalle;
        std::chrono::milliseconds limite = 3s; // near the probe's limit: time for another try
        bool reintentar = false;               // "Reintentar" then starts another engine
        QByteArray curlrc = {};
    };
    const QString abrio = "La ventana de VARNO aparece en unos segundos.",
                  motivo = "El motivo está en el registro.",
                  enUso = "OSError: [Errno 98] Address already in use";
    const QByteArray ocupado = "echo Error al empezar; echo '" + enUso.toUtf8() +
                               "' >> ../mesa.log; exit 1",
                     bien = pruebas::http(200);
    // The first start says why it ended, the retry nothing.
    const QByteArray dosVeces =
        "[ -e ../uno ] && exit 3; touch ../uno; echo 'Error: antes' >&2; exit 3";
    const Caso casos[] = {
        {"exit 1", pruebas::http(399, "version"), 0ms, abrio},
        {"sleep 30", bien, 2500ms, motivo, 6s},
        {"sleep 30", pruebas::http(200, R"({"Version": 1})"), 0ms, motivo},
        {"sleep 30", pruebas::http(400, "version"), 0ms, motivo},
        {dosVeces, {}, 0ms, "Error: antes", 3s, true},
        {"exit 1", pruebas::http(200, "{}"), 0ms, motivo, 3s, false, "write-out = \"version\""},
        {ocupado, pruebas::http(404, "version"), 0ms, enUso},
        {ocupado, "version 9\r\n", 0ms, enUso, 3s, false, "http0.9"}, // not HTTP
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.motor.toStdString() + " | " + c.respuesta.toStdString());
        std::optional<pruebas::Puerto> puerto;
        if (!c.respuesta.isEmpty())
            puerto.emplace(c.respuesta, c.retraso);
        Espera e(c.motor, c.limite);
        pruebas::escribir(QDir::homePath() + "/.curlrc", c.curlrc);
        ASSERT_TRUE(e.esperar());
        const bool abre = c.detalle == abrio;
        EXPECT_EQ(e.d->fase(), abre ? Delegado::Fase::abierto : Delegado::Fase::noAbrio);
        EXPECT_EQ(e.texto("detalle")->texto(), c.detalle);
        if (c.reintentar) {
            e.d->alBoton();
            EXPECT_DOUBLE_EQ(pruebas::vista<Barra>(e.d->ventana(), "barra")->valor(), 0.04);
            ASSERT_TRUE(
                pruebas::esperarHasta([&] { return e.d->fase() != Delegado::Fase::abriendo; }));
            EXPECT_EQ(pruebas::leer(e.pids).count('\n'), 2);
            EXPECT_EQ(e.texto("detalle")->texto(), motivo); // not an older start's reason
        }
    }
}

// A close while a probe hangs returns once the probe is over, leaving nothing that could post.
TEST(Espera, CerrarDuranteLaEsperaNoDejaNadaColgado) {
    pruebas::Puerto mudo(pruebas::http(200), 1h);
    Espera e("exec sleep 3600", 1h); // a wait that missed the close would not end
    e.d->abrirYEsperar();
    ASSERT_TRUE(pruebas::esperarHasta([&] { return !mudo.findChildren<QTcpSocket*>().empty(); }));
    e.d.reset();
    // The probe is over: curl has closed its end, as Qt saw already or reading what is left finds.
    for (QTcpSocket* s : mudo.findChildren<QTcpSocket*>()) {
        if (s->state() != QAbstractSocket::ConnectedState) {
            EXPECT_EQ(s->error(), QAbstractSocket::RemoteHostClosedError);
            continue;
        }
        char resto[512];
        ssize_t n;
        while ((n = ::recv(s->socketDescriptor(), resto, sizeof resto, MSG_DONTWAIT)) > 0) {
        }
        EXPECT_EQ(n, 0);
    }
}

// Only a listener taking 127.0.0.1:8770 counts; one of another user's makes it another user's. The
// owner is the eighth field: a line that ends there counts, one that ends before it does not.
TEST(Puerto, DuenoEnLaTablaDelNucleo) {
    const auto fila = [](const char* local, const char* estado, const char* uid) {
        return QByteArray("  0: ") + local + " 00000000:0000 " + estado +
               " 00000000:00000000 00:00000000 00000000  " + uid + "  0 4242 1 0 100 0 0 10 0\n";
    };
    const QByteArray cabecera = "  sl  local_address rem_address   st tx_queue rx_queue tr\n",
                     nuestro = fila("0100007F:2242", "0A", "1000");
    for (const auto& [tabla, dueno] :
         {std::pair(cabecera + nuestro, Dueno::nuestro),
          {cabecera + fila("0100007F:2242", "0A", "1001"), Dueno::ajeno},
          {fila("00000000:2242", "0A", "0"), Dueno::ajeno},
          {nuestro + fila("00000000000000000000000000000000:2242", "0A", "1001"), Dueno::ajeno},
          {fila("0000000000000000FFFF00000100007F:2242", "0A", "1000"), Dueno::nuestro},
          {fila("0100007F:2242", "01", "1001") + fila("0100007F:2243", "0A", "1001"), Dueno::nadie},
          {fila("0501A8C0:2242", "0A", "1001") + fila("0100007F:1F90", "0A", "1001"), Dueno::nadie},
          {"0: 0100007F:2242 0:0 0A 0:0 0:0 0 1000\n0: 0100007F:2242 0:0 0A 0:0 0:0 0\n",
           Dueno::nuestro}}) {
        EXPECT_EQ(duenoEnTabla(tabla, 1000), dueno) << tabla.toStdString();
    }
}

// Another user's program on the port is never taken for the engine: no hand-off, and the
// failure screen says who holds the port. It takes a second user, so only root runs it.
TEST(Puerto, OtroUsuarioNoEsElMotor) {
    if (::getuid() != 0 || !QFileInfo::exists("/usr/bin/setpriv"))
        GTEST_SKIP() << "hace falta root para escuchar como otro usuario";
    QProcess ajeno; // killed at the end
    ajeno.start("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                     "/usr/bin/python3", "-c", R"(import socket, sys
s = socket.create_server(("127.0.0.1", 8770))
while True:
    c = s.accept()[0]; c.recv(4096); c.sendall(sys.argv[1].encode()); c.close())",
                                     QString::fromLatin1(pruebas::http(200))});
    ASSERT_TRUE(pruebas::esperarHasta([] { return duenoDelPuerto() == Dueno::ajeno; }));
    Espera e("exit 1");
    EXPECT_FALSE(responde(e.g));
    ASSERT_TRUE(e.esperar());
    EXPECT_EQ(e.texto("detalle")->texto(), "Otro programa, de otro usuario, ocupa el puerto 8770.");
}

// lsof's ids with status 0 are ours, a quiet status 1 another user's; anything else tells nothing.
TEST(Puerto, LoQueDiceLsof) {
    QTemporaryDir t;
    const QByteArray pedido =
        "[ \"$*\" = '-w -n -P -t -a -u 501 -iTCP:8770 -sTCP:LISTEN' ] || exit 9";
    using enum Dueno;
    for (const auto& [guion, dueno] : {std::pair("echo 4242", nuestro),
                                       {"exit 1", ajeno},
                                       {"exit 0", nadie},
                                       {"echo 'sin permiso' >&2; exit 1", nadie}}) {
        pruebas::escribir(t.filePath("lsof"), "#!/bin/sh\n" + pedido + "\n" + guion + "\n", true);
        EXPECT_EQ(duenoSegunLsof(t.filePath("lsof"), 501, 1s), dueno) << guion;
    }
}

// With the engine's process gone the wait gives up after the grace, unless the engine answers
// (another copy, or ours though its start failed); only lower bounds are asserted.
TEST(Espera, GraciaTrasElFinDelMotorYLimite) {
    for (const auto& [t, barra] :
         {std::pair(0.0, 0.04), {45.0, 0.49}, {90.0, 0.94}, {91.0, 0.95}, {1e6, 0.95}})
        EXPECT_NEAR(curvaEspera(t), barra, 1e-9) << t;

    qint64 muerto = 0, vivo = 0;
    ASSERT_TRUE(QProcess::startDetached("/bin/true", {}, {}, &muerto));
    ASSERT_TRUE(QProcess::startDetached("/bin/sleep", {"60"}, {}, &vivo));
    ASSERT_TRUE(pruebas::esperarHasta([&] { return !sigueVivo(muerto); }));
    const struct {
        const char* nombre;
        std::optional<qint64> motor;
        bool puerto;                                        // answers as the engine
        std::chrono::milliseconds gracia, limite, yaPasado; // of the limit, at the start
        std::chrono::milliseconds minimo;                   // the wait lasts at least this long
        bool abre = false;
    } casos[] = {
        {"sin motor", std::nullopt, false, 700ms, 1h, 0ms, 700ms},
        {"sin motor, pero responde", std::nullopt, true, 1h, 1h, 0ms, 0ms, true},
        {"motor terminado", muerto, false, 700ms, 1h, 0ms, 700ms},
        {"límite ya pasado", vivo, true, 1h, 1h, 1h, 0ms}, // before a probe that would find it
    };
    pruebas::Casa casa;
    const Globales g = casa.globales();
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        // Held even when the engine must not answer, so that nothing else answers for it.
        pruebas::Puerto puerto(c.puerto ? pruebas::http(200, "version") : pruebas::http(503));
        const auto inicio = std::chrono::steady_clock::now();
        EsperaMotor espera(g, Tiempos{c.limite, c.gracia, 50ms}, c.motor, inicio - c.yaPasado);
        int fin = 0; // 1 opened, 2 gave up, 3 another user's
        QObject::connect(&espera, &EsperaMotor::abrio, [&] { fin = 1; });
        QObject::connect(&espera, &EsperaMotor::noAbrio, [&] { fin = 2; });
        QObject::connect(&espera, &EsperaMotor::puertoAjeno, [&] { fin = 3; });
        EXPECT_TRUE(pruebas::esperarHasta([&] { return fin != 0; }, 60s));
        EXPECT_EQ(fin, c.abre ? 1 : 2);
        EXPECT_GE(std::chrono::steady_clock::now() - inicio, c.minimo);
    }
    ::kill(pid_t(vivo), SIGKILL);
}

} // namespace
