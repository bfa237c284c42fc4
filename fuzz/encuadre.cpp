// The installer's output on its way to the window: the input is cut into
// chunks (each decoded by itself, as the pump does, and some repeated so that
// an unfinished line can outgrow its cap), framed into lines, and every line
// is read by the line protocol.
#include "app/delegado.h"
#include "base/texto.h"
#include "comun.h"
#include "installer/protocolo.h"

#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

constexpr qsizetype tope = Encuadre::topeResto;

// Framing with no regard to chunks: every piece between two breaks.
QStringList trozosEntreSaltos(const QString& texto) {
    QStringList trozos{QString()};
    for (QChar c : texto) {
        if (fuzz::esSalto(c))
            trozos.append(QString());
        else
            trozos.last().append(c);
    }
    return trozos;
}

QString sinBlancos(const QString& l) {
    qsizetype a = 0, b = l.size();
    while (a < b && fuzz::esBlanco(l[a]))
        ++a;
    while (b > a && fuzz::esBlanco(l[b - 1]))
        --b;
    return l.mid(a, b - a);
}

void revisarLinea(const QString& linea, Progreso& p) {
    const EfectoLinea e = interpretarLinea(linea, p, Delegado::desde);
    const QString limpia = sinBlancos(linea);
    EXIGIR(e.ignorada == limpia.isEmpty());
    EXIGIR(e.progreso.paso >= 0 && e.progreso.paso <= 7);
    EXIGIR(e.progreso.avance >= 0.0 && e.progreso.avance <= Delegado::desde[7]);
    if (e.ignorada) {
        EXIGIR(!e.estado && !e.detalle);
        EXIGIR(e.progreso.paso == p.paso && e.progreso.avance == p.avance);
    } else if (e.estado) {
        const qint64 n = e.progreso.paso;
        EXIGIR(!e.detalle && n >= 1);
        EXIGIR(e.estado->startsWith(QStringLiteral("Paso %1 de 7 · ").arg(n)));
        EXIGIR(limpia.startsWith(QStringLiteral("== %1").arg(n)));
        EXIGIR(e.progreso.avance == qMax(p.avance, Delegado::desde[n]));
    } else {
        EXIGIR(e.detalle.has_value());
        const QString& d = *e.detalle;
        // Shown without direction formatting, which could turn text after it around.
        const QString mostrada = sinFormatoBidi(limpia);
        EXIGIR(d == mostrada ||
               (d.endsWith(QChar(0x2026)) && mostrada.startsWith(d.chopped(1)) &&
                mostrada.size() > d.size() - 1));
        EXIGIR(e.progreso.paso == p.paso);
        const double esperado =
            p.paso == 5 ? qMin(p.avance + 0.004, Delegado::desde[6] - 0.01) : p.avance;
        EXIGIR(e.progreso.avance == esperado);
        EXIGIR(sinFormatoBidi(detalleDeFallo(limpia)) == detalleDeFallo(limpia));
    }
    p = e.progreso;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    FuzzedDataProvider entrada(datos, tamano);
    Encuadre porTrozos;
    QStringList lineas;
    QString todo;
    while (entrada.remaining_bytes() > 0) {
        const auto largo = entrada.ConsumeIntegralInRange<size_t>(0, 4096);
        const int veces = entrada.ConsumeIntegralInRange<int>(1, 24);
        const std::string bytes = entrada.ConsumeBytesAsString(largo);
        const QString trozo = decodificar(QByteArrayView(bytes.data(), bytes.size()));
        for (int i = 0; i < veces; ++i) {
            lineas += porTrozos.agregar(trozo);
            todo += trozo;
            EXIGIR(porTrozos.resto().size() <= tope);
        }
    }

    // Where the chunks were cut changes nothing.
    Encuadre entero;
    EXIGIR(entero.agregar(todo) == lineas);
    EXIGIR(entero.resto() == porTrozos.resto());

    const QStringList trozos = trozosEntreSaltos(todo);
    EXIGIR(lineas.size() == trozos.size() - 1);
    for (qsizetype i = 0; i < lineas.size(); ++i)
        EXIGIR(lineas[i] == trozos[i].left(tope));
    EXIGIR(porTrozos.resto() == trozos.last().left(tope));

    Progreso p;
    for (const QString& l : lineas)
        revisarLinea(l, p);
    porTrozos.reiniciar();
    EXIGIR(porTrozos.resto().isEmpty());
    return 0;
}
