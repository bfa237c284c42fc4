// The telling line of the engine's log: the input is the log, read from a
// file and as text already decoded.
#include "base/texto.h"
#include "comun.h"
#include "engine/correr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    const QByteArray bytes = fuzz::bytes(datos, tamano);
    const QString texto = decodificar(bytes);
    const std::optional<QString> elegida = lineaQueCuenta(texto);
    const auto desdeArchivo =
        ultimaLinea(fuzz::escribir(bytes, QStringLiteral("mesa.log")) + QStringLiteral("/mesa.log"));
    EXIGIR(fuzz::utf8(bytes) ? desdeArchivo == elegida : !desdeArchivo);

    // The lines that count: trimmed, neither blank nor "---" separators.
    QStringList cuentan;
    for (const QString& l : fuzz::partir(texto)) {
        const QString r = fuzz::recortar(l);
        if (!r.isEmpty() && !r.startsWith(QLatin1String("---")))
            cuentan << r;
    }
    EXIGIR(elegida.has_value() == !cuentan.isEmpty());
    if (!elegida)
        return 0;
    // A whole line, or a line's start ended in "…"; a line with "Error" or
    // "error" wins when there is one.
    const QString& e = *elegida;
    const bool entera = cuentan.contains(e);
    EXIGIR(entera || (e.endsWith(QChar(0x2026)) && std::any_of(cuentan.begin(), cuentan.end(),
                                                               [&](const QString& l) {
                                                                   return l.startsWith(e.chopped(1));
                                                               })));
    const auto conError = [](const QString& l) {
        return l.contains(QLatin1String("Error")) || l.contains(QLatin1String("error"));
    };
    EXIGIR(!entera || conError(e) || std::none_of(cuentan.begin(), cuentan.end(), conError));
    return 0;
}
