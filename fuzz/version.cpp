// The version file: the input is written as version.txt and read back as the
// bundle's version.
#include "base/globales.h"
#include "comun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    const QByteArray bytes = fuzz::bytes(datos, tamano);
    const QString version = leerVersion(fuzz::escribir(bytes, QStringLiteral("version.txt")));
    std::optional<QString> texto = fuzz::utf8(bytes);
    if (!texto) {
        EXIGIR(version == QLatin1String("beta"));
        return 0;
    }
    // A byte-order mark at the start is not part of the text; one more is.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        texto->remove(0, 1);
    EXIGIR(version == fuzz::recortar(*texto, [](QChar c) {
               return fuzz::esBlanco(c) || fuzz::esSalto(c) || c == u'\u00A0' ||
                      c.category() == QChar::Separator_Line ||
                      c.category() == QChar::Separator_Paragraph;
           }));
    return 0;
}
