// The maintenance screen's description of an installed runtime and the size
// a removal frees, timed in process: bench_describir HOME [runs].
#include "base/globales.h"
#include "maintenance/mantenimiento.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        qFatal("uso: bench_describir HOME [veces]");
    const Globales g = calcularGlobales(QString::fromLocal8Bit(argv[1]), std::nullopt);
    const int veces = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    std::vector<double> describiendo, midiendo;
    Instalado i;
    for (int n = 0; n < veces; ++n) {
        QElapsedTimer t;
        t.start();
        i = describir(g);
        describiendo.push_back(t.nsecsElapsed() / 1e9);
        t.restart();
        if (tamanoDelMotor(g) != i.bytes)
            qFatal("the size a removal frees is not the one described");
        midiendo.push_back(t.nsecsElapsed() / 1e9);
    }
    std::sort(describiendo.begin(), describiendo.end());
    std::sort(midiendo.begin(), midiendo.end());
    std::printf("%.3f %.3f %d %lld\n", describiendo[veces / 2], midiendo[veces / 2], i.bibliotecas,
                qlonglong(i.bytes));
}
