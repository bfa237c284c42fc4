// The input as version.txt: the version is its text without surrounding white space and breaks.
#include "base/globales.h"
#include "comun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    const QByteArray bytes = fuzz::bytes(datos, tamano);
    const QString version = leerVersion(fuzz::escribir(bytes, "version.txt"));
    const std::optional<QString> texto = fuzz::utf8(bytes);
    // A byte-order mark at the start is not part of the text; one more is.
    EXIGIR(version ==
           (texto ? texto->mid(bytes.startsWith("\xEF\xBB\xBF")).remove(fuzz::blancosYSaltos)
                  : QStringLiteral("beta")));
    // A missing file gives "beta" too. Not reached: a read failing once open (a disk's error).
    EXIGIR(tamano || leerVersion(fuzz::escribir({}, "version.txt") + "/no-hay") == "beta");
    return 0;
}
