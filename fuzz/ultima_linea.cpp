// The input is the engine's log, read from a file and as text already decoded.
#include "base/texto.h"
#include "comun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    const QByteArray bytes = fuzz::bytes(datos, tamano);
    const std::optional<QString> elegida = lineaQueCuenta(decodificar(bytes));
    const auto desdeArchivo = ultimaLinea(fuzz::escribir(bytes, "mesa.log") + "/mesa.log");
    EXIGIR(fuzz::utf8(bytes) ? desdeArchivo == elegida : !desdeArchivo);

    // Of the trimmed lines, neither blank nor "---", the last with "Error" or "error", else the
    // last; whole, or its start ended in "…".
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
    EXIGIR(!elegida || *elegida == esperada ||
           (elegida->endsWith(QChar(0x2026)) && esperada.startsWith(elegida->chopped(1))));
    return 0;
}
