// The installer's output cut into chunks (some repeated, so that an unfinished line can outgrow
// its cap), decoded and framed as the run does, and every line read and shown as the window does.
#include "base/texto.h"
#include "comun.h"
#include "installer/protocolo.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    FuzzedDataProvider entrada(datos, tamano);
    DecodificadorUtf8 decodificador;
    Encuadre encuadre;
    QStringList lineas;
    const auto trocear = [&](QString texto) {
        const Trozo t = encuadre.trocear(std::move(texto));
        for (qsizetype i = 0; i < t.cuantas(); ++i)
            lineas.append(t.linea(i).toString());
        EXIGIR(encuadre.resto().size() <= Encuadre::topeResto);
    };
    QByteArray todo;
    while (entrada.remaining_bytes() > 0) {
        const auto largo = entrada.ConsumeIntegralInRange<size_t>(0, 4096);
        const int veces = entrada.ConsumeIntegralInRange<int>(1, 24);
        const std::string trozo = entrada.ConsumeBytesAsString(largo);
        for (int i = 0; i < veces; ++i, todo += QByteArray::fromStdString(trozo))
            trocear(decodificador.decodificar(trozo));
    }
    trocear(decodificador.terminar());

    // Where the chunks were cut changes nothing: the lines are the whole input's, each capped.
    QStringList trozos = decodificar(todo).split(fuzz::salto);
    EXIGIR(encuadre.resto() == trozos.takeLast().left(Encuadre::topeResto));
    for (QString& t : trozos)
        t.truncate(Encuadre::topeResto);
    EXIGIR(lineas == trozos);

    Progreso p;
    for (const QString& linea : lineas) {
        const LecturaLinea l = leerLinea(linea, p);
        const QString limpia = QString(linea).remove(fuzz::blancos);
        const bool cabecera = l.tipo == LecturaLinea::cabecera;
        EXIGIR((l.tipo == LecturaLinea::blanca) == limpia.isEmpty());
        EXIGIR(l.progreso.paso >= 0 && l.progreso.paso <= 7);
        EXIGIR(l.progreso.avance >= p.avance && l.progreso.avance <= avanceAlEmpezar[7]);
        const QString mostrado =
            cabecera ? textoDeCabecera(l.paso, l.titulo) : textoDeDetalle(l.texto);
        EXIGIR(!cabecera || (l.progreso.paso == l.paso &&
                             limpia.startsWith(QStringLiteral("== %1").arg(l.paso)) &&
                             mostrado.startsWith(QStringLiteral("Paso %1 de 7 · ").arg(l.paso))));
        EXIGIR(l.tipo != LecturaLinea::detalle || l.texto == limpia);
        // Nothing shown can turn the program's own text around.
        for (const QString& m : {mostrado, detalleDeFallo(limpia)})
            EXIGIR(sinFormatoBidi(m) == m);
        p = l.progreso;
    }
    return 0;
}
