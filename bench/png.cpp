// PNG encoders on the program's own artwork: the artwork code's (zlib with
// rows unfiltered at its fastest level) against Qt's writer at its default
// and at the qualities that should make it fastest. Each run also reports the
// file's size.
#include "artwork/png.h"
#include "artwork/arte.h"
#include "comun.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <benchmark/benchmark.h>

namespace {

QImage dibujo(const char* cual) {
    static Laboratorio lab;
    const QString ruta = lab.casa.filePath(QString::fromLatin1(cual) + ".png");
    if (QByteArray(cual) == "icono")
        guardarIcono(ruta);
    else
        guardarFondoDmg(ruta, 2);
    return QImage(ruta).convertToFormat(QImage::Format_RGBA8888);
}

QByteArray conQt(const QImage& imagen, int calidad) {
    QByteArray salida;
    QBuffer buffer(&salida);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter w(&buffer, "png");
    w.setQuality(calidad);
    w.write(imagen);
    return salida;
}

template <typename F> void medir(benchmark::State& s, const char* cual, F codificar) {
    const QImage imagen = dibujo(cual);
    qsizetype tamano = 0;
    for (auto _ : s) {
        const QByteArray b = codificar(imagen);
        tamano = b.size();
        benchmark::DoNotOptimize(b.data());
    }
    s.counters["KB"] = double(tamano) / 1024;
}

void artwork(benchmark::State& s, const char* cual) {
    medir(s, cual, [](const QImage& i) { return codificarPNG(i); });
}
void qt(benchmark::State& s, const char* cual) {
    const int calidad = int(s.range(0));
    medir(s, cual, [calidad](const QImage& i) { return conQt(i, calidad); });
}

BENCHMARK_CAPTURE(artwork, icono, "icono")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(qt, icono, "icono")->Arg(-1)->Arg(90)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(artwork, fondo2, "fondo")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(qt, fondo2, "fondo")->Arg(-1)->Arg(90)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    Laboratorio lab;
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
}
