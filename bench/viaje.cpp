// The longest the window's thread is held, against a frame (16 ms): during a
// first installation that ends by pinning VARNO to the Dock (whose tools take
// their time), and during a maintenance journey (describing the runtime,
// verifying it, removing it). A timer ticks every millisecond on that thread;
// the longest gap between two ticks, less the period, is the stall.
#include "app/delegado.h"
#include "comun.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {

struct Reloj {
    QTimer t;
    QElapsedTimer e;
    double peor = 0;
    Reloj() {
        t.setTimerType(Qt::PreciseTimer);
        QObject::connect(&t, &QTimer::timeout, [this] {
            peor = std::max(peor, e.nsecsElapsed() / 1e6 - 1);
            e.restart();
        });
    }
    // Turns the loop until `listo`, and gives the longest stall meanwhile.
    template <typename F> double hasta(F listo) {
        peor = 0;
        e.start();
        t.start(1);
        while (!listo())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        t.stop();
        return peor;
    }
};

} // namespace

int main(int argc, char** argv) {
    Laboratorio lab;
    QApplication app(argc, argv);
    const QString casa = lab.casa.path(), recursos = casa + "/recursos";
    Globales g = calcularGlobales(casa, recursos);
    // Where a moved VARNO runs, so the Dock is asked; each of its tools takes 300 ms.
    g.BUNDLE = casa + "/Applications/VARNO.app";
    g.HOME = casa;
    for (QString* h : {&g.herramientas.defaults, &g.herramientas.killall}) {
        *h = casa + "/bin/" + QFileInfo(*h).fileName();
        escribirArchivo(*h, "#!/bin/sh\nsleep 0.3\n[ \"$1\" != read ]\n", true);
    }
    escribirArchivo(recursos + "/paquete/instalar_mac.sh",
                    "echo '== 1/7 Preparando'\nsleep 0.2\necho '== 7/7 Listo'\n");
    Reloj reloj;
    double instalar = 0, mantener = 0;
    {
        Delegado d(g, Tiempos{.retrasoApertura = std::chrono::hours(24)});
        d.construir();
        d.empezar();
        instalar = reloj.hasta([&] { return d.fase() != Fase::instalando; });
        if (d.fase() != Fase::instalado)
            qFatal("the installation failed");
    }
    // A runtime of a few thousand files, sound.
    escribirArchivo(g.PYTHON, "#!/bin/sh\necho 3.12.7\n", true);
    escribirArchivo(g.DATOS + "/instalado.txt", g.VERSION.toUtf8());
    escribirArchivo(g.DATOS + "/entorno.RECORD", "");
    QDir().mkpath(g.DATOS + "/app");
    QDir().mkpath(g.DATOS + "/app");
    const QString sitio = g.DATOS + "/python/lib/python3.12/site-packages/";
    QByteArray record;
    for (int i = 0; i < 4000; ++i) {
        const QString r = QString("pkg%1/m%2.py").arg(i / 100).arg(i);
        escribirArchivo(sitio + r, QByteArray(2000, 'x'));
        record += r.toUtf8() + ",,\n";
    }
    escribirArchivo(sitio + "viaje-1.0.dist-info/INSTALLER", "pip\n");
    escribirArchivo(sitio + "viaje-1.0.dist-info/RECORD",
                    record + "viaje-1.0.dist-info/INSTALLER,,\n");
    {
        Delegado d(g);
        d.mostrarVentana("VARNO");
        // The window's first paint, once at launch, is not part of the journey.
        QElapsedTimer pintada;
        pintada.start();
        while (pintada.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        d.mantener();
        QTimer responder; // confirms the removal when it asks
        QObject::connect(&responder, &QTimer::timeout, [] {
            if (auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                for (QAbstractButton* b : caja->buttons())
                    if (b->text() == "Eliminar el motor")
                        b->click();
        });
        responder.start(20);
        bool verificado = false, pedido = false;
        mantener = reloj.hasta([&] {
            if (d.fase() == Fase::mantenimiento && d.estado().instalado.bibliotecas && !verificado)
                verificado = true, d.alBoton();
            if (d.fase() == Fase::sano && !pedido)
                pedido = true, d.mostrar(Fase::mantenimiento),
                QMetaObject::invokeMethod(
                    &d,
                    [&] {
                        // The second button asks, then removes.
                        d.ventana()->findChild<QAbstractButton*>("registroBoton")->click();
                    },
                    Qt::QueuedConnection);
            return d.fase() == Fase::eliminado || d.fase() == Fase::noEliminado ||
                   d.fase() == Fase::averiado;
        });
        if (d.fase() != Fase::eliminado)
            qFatal("the journey did not end in the Trash: %s", qPrintable(d.estado().detalle));
    }
    std::printf("Longest stall of the window's thread: installing %.1f ms, maintaining %.1f ms "
                "(target < 16 ms)\n",
                instalar, mantener);
}
