// The version file and the trimming rules: the input is written as
// version.txt and read back as the bundle's version; decoded, it is also
// trimmed as an output line is.
#include "base/globales.h"
#include "base/texto.h"
#include "comun.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

namespace {

QTemporaryDir& carpeta() {
    static QTemporaryDir d;
    return d;
}

// `dentro` is `texto` less a prefix and a suffix made only of `quitable`
// characters, and it neither starts nor ends with one.
template <typename Quitable>
void revisarRecorte(const QString& texto, const QString& dentro, Quitable quitable) {
    if (dentro.isEmpty()) {
        for (QChar c : texto)
            EXIGIR(quitable(c));
        return;
    }
    EXIGIR(!quitable(dentro.front()) && !quitable(dentro.back()));
    qsizetype primero = 0;
    while (primero < texto.size() && quitable(texto[primero]))
        ++primero;
    EXIGIR(texto.mid(primero, dentro.size()) == dentro);
    for (qsizetype i = primero + dentro.size(); i < texto.size(); ++i)
        EXIGIR(quitable(texto[i]));
}

// White space and line breaks, the Unicode separators included.
bool esBlancoOSalto(QChar c) {
    return fuzz::esBlanco(c) || fuzz::esSalto(c) || c == u'\u00A0' ||
           c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    const QByteArray bytes = fuzz::bytes(datos, tamano);
    QFile f(carpeta().filePath(QStringLiteral("version.txt")));
    EXIGIR(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    EXIGIR(f.write(bytes) == bytes.size());
    f.close();

    const QString version = leerVersion(carpeta().path());
    if (!fuzz::esUtf8(std::string_view(bytes.constData(), bytes.size()))) {
        EXIGIR(version == QLatin1String("beta"));
    } else {
        // A byte-order mark at the start is not part of the text; one more
        // right after it is.
        QStringDecoder todo(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        QString texto = todo.decode(bytes);
        if (bytes.startsWith("\xEF\xBB\xBF"))
            texto.remove(0, 1);
        revisarRecorte(texto, version, esBlancoOSalto);
    }

    const QString linea = decodificar(bytes);
    revisarRecorte(linea, recortarEspacios(linea), fuzz::esBlanco);
    return 0;
}
