// The engine misbehaves on its health address, or another program holds the
// port: VARNO waits within its limits, opens only for a real answer, and
// otherwise gives up with the engine's own words.
#include "app/delegado.h"
#include "comun/comun.h"
#include "comun/servidor.h"
#include "engine/correr.h"
#include "engine/motor.h"
#include "ui/vistas.h"

#include <QDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <csignal>

using namespace std::chrono_literals;

namespace {

// A delegate whose engine is the fake health server run with `opciones`; the
// engine writes its errors to the engine's log, as the real one does.
struct Motor {
    pruebas::Casa casa;
    std::unique_ptr<Delegado> d;
    QString pids;

    Motor(const QStringList& opciones, std::chrono::milliseconds limite) {
        const Globales g = casa.globales();
        pids = casa.home() + "/pids";
        QByteArray argumentos;
        for (const QString& o : opciones)
            argumentos += " '" + o.toUtf8() + "'";
        pruebas::escribir(g.PYTHON,
                          "#!/bin/bash\necho $$ >> '" + pids.toUtf8() +
                              "'\nexec /usr/bin/python3 '" +
                              pruebas::datos("servidor.py").toUtf8() + "' 8770" + argumentos +
                              " 2>> '" + g.MESA_LOG.toUtf8() + "'\n",
                          true);
        QDir().mkpath(g.DATOS + "/app");
        Tiempos t;
        t.limiteEspera = limite;
        t.graciaMotor = 600ms;
        t.pausaSonda = 50ms;
        t.retrasoSalida = 24h; // quitting is not what these tests look at
        d = std::make_unique<Delegado>(g, t);
        d->construir();
    }
    ~Motor() {
        d.reset();
        // Gone for good before the next test binds the port.
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
};

TEST(MotorQueFalla, SoloUnaRespuestaBuenaATiempoLoAbre) {
    struct Caso {
        const char* nombre;
        QStringList opciones;
        std::chrono::milliseconds limite;
        bool abre;
    };
    const Caso casos[] = {
        // Each probe is cut at 1.5 s; several fit in the limit, so a slow but
        // timely engine is not missed by one unlucky probe.
        {"responde a 1.4 s", {"--retraso", "1.4"}, 8s, true},
        {"responde a 1.6 s", {"--retraso", "1.6"}, 3s, false},
        {"se cuelga sin responder", {"--retraso", "3600"}, 3s, false},
        {"500 con version en el cuerpo", {"--estado", "500", "--cuerpo", "version"}, 3s, false},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        Motor m(c.opciones, c.limite);
        ASSERT_TRUE(m.esperar());
        EXPECT_EQ(m.d->noAbrio, !c.abre);
        EXPECT_EQ(m.d->estado->texto(), c.abre ? "VARNO está abierto." : "VARNO no pudo abrirse.");
        if (!c.abre) {
            EXPECT_EQ(m.d->detalle->texto(),
                      ultimaLinea(m.d->g.MESA_LOG).value_or("El motivo está en el registro."));
            EXPECT_EQ(m.d->boton->titulo(), "Reintentar");
        }
    }
}

// Another program on the port is not taken for the engine, and the engine
// that could not bind tells why.
TEST(MotorQueFalla, OtroProgramaTieneElPuerto) {
    struct Caso {
        const char* nombre;
        QByteArray respuesta; // what the other program writes to whoever connects
    };
    const Caso casos[] = {
        {"otra web sin version", "HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\n{\"a\":1}"},
        {"otra web que no encuentra", "HTTP/1.1 404 Not Found\r\nContent-Length: 7\r\n\r\nversion"},
        {"no habla HTTP aunque diga version", "version 9\r\n"},
        {"acepta y no dice nada", ""},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        QTcpServer otro;
        ASSERT_TRUE(pruebas::esperarHasta([&] {
            return otro.listen(QHostAddress::LocalHost, 8770);
        })) << "el puerto 8770 está ocupado";
        QList<QTcpSocket*> conexiones;
        QObject::connect(&otro, &QTcpServer::newConnection, [&] {
            while (QTcpSocket* s = otro.nextPendingConnection()) {
                conexiones.append(s);
                QObject::connect(s, &QTcpSocket::readyRead, s, [s, &c] {
                    s->readAll();
                    if (!c.respuesta.isEmpty()) {
                        s->write(c.respuesta);
                        s->disconnectFromHost();
                    }
                });
            }
        });

        Motor m({}, 3s);
        ASSERT_TRUE(m.esperar());
        EXPECT_TRUE(m.d->noAbrio);
        EXPECT_EQ(m.d->estado->texto(), "VARNO no pudo abrirse.");
        EXPECT_TRUE(m.d->detalle->texto().contains("Address already in use"))
            << m.d->detalle->texto().toStdString();
        qDeleteAll(conexiones);
    }
}

// Closing the window while a probe hangs on a silent engine leaves nothing
// running that could reach the gone window.
TEST(MotorQueFalla, CerrarMientrasUnaSondaCuelga) {
    Motor m({"--retraso", "3600"}, 60s);
    m.d->abrirYEsperar();
    ASSERT_TRUE(pruebas::esperarHasta([&] { return QFile::exists(m.pids); }));
    pruebas::esperarHasta([] { return false; }, 500ms);
    m.d.reset(); // returns once the probe under way has timed out
    SUCCEED();
}

} // namespace
