// The engine hangs on its health address, or another program holds the port:
// VARNO opens nothing and gives up at its limit with the engine's own words.
#include "app/delegado.h"
#include "comun/comun.h"
#include "engine/motor.h"
#include "ui/vistas.h"

#include <QDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <csignal>

using namespace std::chrono_literals;

namespace {

// A delegate waiting for its engine, the fake health server run with
// `opciones`, which writes its errors to the engine's log as the real one does.
struct Motor {
    pruebas::Casa casa;
    QString pids = casa.home() + "/pids";
    std::unique_ptr<Delegado> d;

    Motor(const QString& opciones, std::chrono::milliseconds limite) {
        const Globales g = casa.globales();
        pruebas::escribir(g.PYTHON,
                          QStringLiteral("#!/bin/bash\necho $$ > '%1'\n"
                                         "exec /usr/bin/python3 '%2' 8770 %3 2>> '%4'\n")
                              .arg(pids, pruebas::datos("servidor.py"), opciones, g.MESA_LOG)
                              .toUtf8(),
                          true);
        QDir().mkpath(g.DATOS + "/app");
        Tiempos t{.limiteEspera = limite, .graciaMotor = 600ms, .pausaSonda = 50ms};
        t.retrasoSalida = 24h; // quitting is not what these tests look at
        d = std::make_unique<Delegado>(g, t);
        d->construir();
        d->abrirYEsperar();
    }
    ~Motor() {
        d.reset();
        // Gone for good before the next test binds the port.
        if (const int pid = pruebas::leer(pids).toInt(); pid > 0) {
            ::kill(pid, SIGKILL);
            pruebas::esperarHasta([&] { return !sigueVivo(pid); });
        }
    }
};

TEST(MotorQueFalla, SeRindeASuLimiteConLasPalabrasDelMotor) {
    // What another program on the port answers; with nobody there, the engine
    // itself hangs.
    const QByteArray otros[] = {
        {},
        "HTTP/1.1 404 Not Found\r\nContent-Length: 7\r\n\r\nversion",
        "version 9\r\n", // not HTTP
    };
    for (const QByteArray& respuesta : otros) {
        SCOPED_TRACE(respuesta.toStdString());
        QTcpServer otro; // its connections are its children
        if (!respuesta.isEmpty()) {
            ASSERT_TRUE(pruebas::esperarHasta([&] {
                return otro.listen(QHostAddress::LocalHost, 8770);
            })) << "el puerto 8770 está ocupado";
            QObject::connect(&otro, &QTcpServer::newConnection, [&] {
                while (QTcpSocket* s = otro.nextPendingConnection())
                    QObject::connect(s, &QTcpSocket::readyRead, s, [s, &respuesta] {
                        s->readAll();
                        s->write(respuesta);
                        s->disconnectFromHost();
                    });
            });
        }
        Motor m(respuesta.isEmpty() ? "--retraso 3600" : "", 3s);
        ASSERT_TRUE(pruebas::esperarHasta([&] { return !m.d->abriendo; }, 60s));
        EXPECT_TRUE(m.d->noAbrio);
        EXPECT_EQ(m.d->estado->texto(), "VARNO no pudo abrirse.");
        EXPECT_TRUE(m.d->detalle->texto().contains(
            respuesta.isEmpty() ? "El motivo está en el registro." : "Address already in use"))
            << m.d->detalle->texto().toStdString();
    }
}

// Closing the window while a probe hangs on a silent engine leaves nothing
// running that could reach the gone window.
TEST(MotorQueFalla, CerrarMientrasUnaSondaCuelga) {
    Motor m("--retraso 3600", 60s);
    ASSERT_TRUE(pruebas::esperarHasta([&] { return QFile::exists(m.pids); }));
    pruebas::esperarHasta([] { return false; }, 500ms);
    m.d.reset(); // returns once the probe under way has timed out
}

} // namespace
