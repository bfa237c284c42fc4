// The installer's output from the pipe to the window: reading, logging,
// framing and the line protocol, against reading the same bytes into a file.
#include "app/delegado.h"
#include "base/globales.h"
#include "comun.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

namespace {

constexpr int lineasPorCorrida = 1'000'000;

// Prints a run's worth of protocol: headers and detail lines of step 5.
const char* const guion = R"(#!/bin/bash
echo '== 1/7 Preparando'
echo '== 5/7 Las bibliotecas'
/usr/bin/python3 - "$LINEAS" <<'FIN'
import sys
n = int(sys.argv[1])
linea = b"Downloading torch-2.5.1-cp311-none-macosx_11_0_arm64.whl (60.5MiB) 42%\n"
sys.stdout.buffer.write(linea * n)
FIN
echo '== 7/7 Listo'
)";

struct Entorno {
    QTemporaryDir dir;
    Globales g;
    Entorno() {
        const QString recursos = dir.path() + "/recursos";
        escribirArchivo(recursos + "/paquete/instalar_mac.sh", guion);
        g = calcularGlobales(dir.path(), recursos);
        qputenv("LINEAS", QByteArray::number(lineasPorCorrida));
    }
};

void BM_Bomba(benchmark::State& estado) {
    Entorno e;
    double peor = 0;
    for (auto _ : estado) {
        Delegado d(e.g);
        d.construir();
        d.empezar();
        // Each pass handles what is queued without waiting: its length is how
        // long the window could not have painted.
        QElapsedTimer reloj;
        while (d.fase() == Delegado::Fase::instalando) {
            reloj.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            peor = std::max(peor, reloj.nsecsElapsed() / 1e6);
            QThread::usleep(200);
        }
        if (d.fase() != Delegado::Fase::instalado)
            estado.SkipWithError("the run failed");
    }
    estado.SetItemsProcessed(estado.iterations() * lineasPorCorrida);
    estado.counters["hilo_principal_max_ms"] = peor;
}
BENCHMARK(BM_Bomba)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The bare limit: the same bytes from the same kind of pipe into a file.
void BM_Cat(benchmark::State& estado) {
    Entorno e;
    const QString destino = e.dir.path() + "/copia";
    for (auto _ : estado) {
        QProcess p;
        p.setStandardOutputFile(destino);
        p.start("/bin/bash",
                {"-c", "/bin/bash \"$0\" | cat", e.g.RECURSOS + "/paquete/instalar_mac.sh"});
        p.waitForFinished(-1);
    }
    estado.SetItemsProcessed(estado.iterations() * lineasPorCorrida);
}
BENCHMARK(BM_Cat)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    Laboratorio lab;
    QApplication aplicacion(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
