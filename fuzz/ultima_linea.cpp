// The input is the engine's log, read from a file and as text already decoded.
#include "base/texto.h"
#include "comun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    const QByteArray bytes = fuzz::bytes(datos, tamano);
    const std::optional<QString> elegida = lineaQueCuenta(decodificar(bytes));
    const auto desdeArchivo = ultimaLinea(fuzz::escribir(bytes, "mesa.log") + "/mesa.log");
    EXIGIR(fuzz::utf8(bytes) ? desdeArchivo == elegida : !desdeArchivo);
    // Nor does a missing log. Not reached: a read failing once open (a disk's error).
    EXIGIR(tamano || !ultimaLinea(fuzz::escribir({}, "mesa.log") + "/no-hay.log"));

    // Of the trimmed lines, neither blank nor "---", the last with "Error" or "error", else the
    // last; cut to 160 user-perceived characters.
    QString ultima, conError;
    for (QString r : decodificar(bytes).split(fuzz::salto)) {
        r.remove(fuzz::blancos);
        if (r.isEmpty() || r.startsWith(QLatin1String("---")))
            continue;
        ultima = r;
        if (r.contains(QLatin1String("Error")) || r.contains(QLatin1String("error")))
            conError = r;
    }
    const QString& esperada = conError.isEmpty() ? ultima : conError;
    EXIGIR(elegida.has_value() == !esperada.isEmpty());
    EXIGIR(!elegida || fuzz::acortada(*elegida, esperada));
    return 0;
}
