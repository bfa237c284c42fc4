// The installer's output cut into chunks (some repeated, so that an unfinished line can outgrow
// its cap), decoded and framed as the run does, and every line read by the protocol.
#include "app/delegado.h"
#include "base/texto.h"
#include "comun.h"
#include "installer/protocolo.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    FuzzedDataProvider entrada(datos, tamano);
    DecodificadorUtf8 decodificador;
    Encuadre encuadre;
    QStringList lineas;
    QByteArray todo;
    while (entrada.remaining_bytes() > 0) {
        const auto largo = entrada.ConsumeIntegralInRange<size_t>(0, 4096);
        const int veces = entrada.ConsumeIntegralInRange<int>(1, 24);
        const std::string trozo = entrada.ConsumeBytesAsString(largo);
        for (int i = 0; i < veces; ++i) {
            lineas += encuadre.agregar(decodificador.decodificar(trozo));
            todo += QByteArray::fromStdString(trozo);
            EXIGIR(encuadre.resto().size() <= Encuadre::topeResto);
        }
    }
    lineas += encuadre.agregar(decodificador.terminar());

    // Where the chunks were cut changes nothing: the lines are the whole input's, each capped.
    QStringList trozos = decodificar(todo).split(fuzz::salto);
    EXIGIR(encuadre.resto() == trozos.takeLast().left(Encuadre::topeResto));
    for (QString& t : trozos)
        t.truncate(Encuadre::topeResto);
    EXIGIR(lineas == trozos);

    Progreso p;
    for (const QString& l : lineas) {
        const EfectoLinea e = interpretarLinea(l, p);
        const QString limpia = QString(l).remove(fuzz::blancos);
        EXIGIR(e.ignorada == limpia.isEmpty());
        EXIGIR(e.progreso.paso >= 0 && e.progreso.paso <= 7);
        EXIGIR(e.progreso.avance >= 0.0 && e.progreso.avance <= avanceAlEmpezar[7]);
        EXIGIR(!e.estado ||
               (limpia.startsWith(QStringLiteral("== %1").arg(e.progreso.paso)) &&
                e.estado->startsWith(QStringLiteral("Paso %1 de 7 · ").arg(e.progreso.paso))));
        // Nothing shown can turn the program's own text around.
        for (const QString& mostrado :
             {e.estado.value_or(""), e.detalle.value_or(""), detalleDeFallo(limpia)})
            EXIGIR(sinFormatoBidi(mostrado) == mostrado);
        p = e.progreso;
    }
    return 0;
}
