// From the moment the engine starts answering to the moment the window knows:
// the probe's pause bounds it near 0.5 s plus one probe.
#include "app/delegado.h"
#include "base/globales.h"
#include "comun.h"
#include "ui/vistas.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    Laboratorio lab;
    const QTemporaryDir& casa = lab.casa;
    QApplication aplicacion(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int corridas = args.size() > 1 ? args[1].toInt() : 20;
    const QString servidor = QStringLiteral(VARNO_SERVIDOR);

    Globales g = calcularGlobales(casa.path(), casa.path());
    const QString marca = casa.path() + "/marca";
    const QString pid = casa.path() + "/pid";
    std::vector<double> demoras;
    for (int i = 0; i < corridas; ++i) {
        QFile::remove(marca);
        // An engine that starts answering at a moment the probe cannot know.
        const double espera = 0.7 + 0.05 * (i % 11);
        escribirArchivo(
            g.PYTHON,
            QStringLiteral("#!/bin/bash\necho $$ > '%1'\nsleep %2\nexec /usr/bin/python3 '%3' "
                           "8770 --marca '%4'\n")
                .arg(pid)
                .arg(espera)
                .arg(servidor, marca)
                .toUtf8(),
            true);
        QDir().mkpath(g.DATOS + "/app");
        Tiempos t;
        t.retrasoSalida = std::chrono::hours(1);
        Delegado d(g, t);
        d.construir();
        d.abrirYEsperar();
        while (d.fase() == Delegado::Fase::abriendo)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double abierto = QDateTime::currentMSecsSinceEpoch() / 1000.0;
        QFile f(marca);
        if (d.fase() != Delegado::Fase::abierto || !f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "corrida %d: el motor no abrió\n", i);
            return 1;
        }
        demoras.push_back(abierto - f.readAll().toDouble());
        QFile p(pid);
        if (p.open(QIODevice::ReadOnly))
            ::kill(p.readAll().trimmed().toInt(), SIGTERM);
        QThread::msleep(200);
    }
    std::sort(demoras.begin(), demoras.end());
    const auto q = [&](double f) { return demoras[static_cast<size_t>(f * (demoras.size() - 1))]; };
    std::printf("listo -> abrio (s), %d corridas: min %.3f  mediana %.3f  p90 %.3f  max %.3f\n",
                corridas, demoras.front(), q(0.5), q(0.9), demoras.back());
    return 0;
}
