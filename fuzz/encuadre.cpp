// The installer's output cut into chunks (some repeated, so that an unfinished line can outgrow
// its cap), decoded and framed as the run does, and every line read and shown as the window does.
// Each step is checked against its rule stated apart, on Qt and regular expressions.
#include "base/texto.h"
#include "comun.h"
#include "installer/protocolo.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

// The decoder's rule on Qt's judgment of what is well formed: each character as Qt decodes it,
// else one U+FFFD for the maximal subpart there, the longest stretch (three bytes at most) that
// begins some well-formed character, or else one byte. Where Qt's own replacement differs by
// design, `Decodificador.UnaSustitucionPorTrozoInvalido` holds the cases.
qsizetype caracter(QByteArrayView b, QChar* c) { // how many UTF-16 units, or 0 when malformed
    QStringDecoder d(QStringDecoder::Utf8,
                     QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QChar* fin = d.appendToBuffer(c, b);
    return d.hasError() ? 0 : fin - c;
}
bool comienza(QByteArrayView p) {
    // 0x80 or 0xBF next (one fits each lead's second-byte range), then 0x80s, stand for any rest.
    char b[4] = {'\x80', '\x80', '\x80', '\x80'};
    QChar c[8];
    std::copy(p.begin(), p.end(), b);
    for (const char siguiente : {'\x80', '\xBF'})
        for (qsizetype n = p.size() + 1; n <= 4; ++n)
            if (b[p.size()] = siguiente; caracter(QByteArrayView(b, n), c))
                return true;
    return false;
}
// The text of the whole characters and subparts, and where they end: bytes after that may still
// become a character.
std::pair<QString, qsizetype> referencia(QByteArrayView b) {
    QString texto;
    QChar c[8];
    for (qsizetype i = 0, l = 1, n = 0; i < b.size(); i += l, l = 1) {
        if (uchar(b[i]) < 0x80) { // a character by itself, quicker than asking Qt
            texto += QLatin1Char(b[i]);
            continue;
        }
        while (!(n = caracter(b.sliced(i, l), c)) && l < 4 && i + l < b.size())
            ++l;
        if (n) {
            texto.append(c, n);
            continue;
        }
        for (l = 1; l < 3 && i + l < b.size() && comienza(b.sliced(i, l + 1));)
            ++l;
        if (i + l == b.size() && comienza(b.sliced(i, l)))
            return {texto, i};
        texto += QChar::ReplacementCharacter;
    }
    return {texto, b.size()};
}

} // namespace

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
    // Each chunk gives all it can at once: only bytes that may still become a character wait, and
    // at the end they are one U+FFFD.
    QByteArray todo;
    QString esperado;
    qsizetype hecho = 0;
    while (entrada.remaining_bytes() > 0) {
        const auto largo = entrada.ConsumeIntegralInRange<size_t>(0, 4096);
        const int veces = entrada.ConsumeIntegralInRange<int>(1, 24);
        const std::string trozo = entrada.ConsumeBytesAsString(largo);
        for (int i = 0; i < veces; ++i) {
            todo += QByteArray::fromStdString(trozo);
            const auto [texto, hasta] = referencia(QByteArrayView(todo).sliced(hecho));
            EXIGIR(decodificador.decodificar(trozo) == texto);
            esperado += texto, hecho += hasta;
            trocear(texto);
        }
    }
    esperado += QString(hecho < todo.size() ? 1 : 0, QChar::ReplacementCharacter);
    trocear(decodificador.terminar());
    EXIGIR(decodificar(todo) == esperado);

    // Where the chunks were cut changes nothing: the lines are the whole text's, each capped.
    QStringList trozos = esperado.split(fuzz::salto);
    EXIGIR(encuadre.resto() == trozos.takeLast().left(Encuadre::topeResto));
    for (QString& t : trozos)
        t.truncate(Encuadre::topeResto);
    EXIGIR(lineas == trozos);

    // A header is "== " and a step from 1 to 7; its title follows the first "/7", up to " (".
    static const QRegularExpression cabecera(QStringLiteral("\\A== ([1-7])")),
        titulo(QStringLiteral("/7[\\t\\p{Zs}]*+(.*?)(?: \\(|\\z)"),
               QRegularExpression::DotMatchesEverythingOption);
    Progreso p;
    for (const QString& linea : lineas) {
        const LecturaLinea l = leerLinea(linea, p);
        const QString limpia = QString(linea).remove(fuzz::blancos);
        const QRegularExpressionMatch c = cabecera.match(limpia);
        EXIGIR((l.tipo == LecturaLinea::blanca) == limpia.isEmpty());
        EXIGIR((l.tipo == LecturaLinea::cabecera) == c.hasMatch());
        EXIGIR(l.progreso.avance >= p.avance && l.progreso.avance <= avanceAlEmpezar[7]);
        if (c.hasMatch()) {
            const QString t = titulo.match(limpia).captured(1);
            EXIGIR(l.paso == c.captured(1).toInt() && l.progreso.paso == l.paso && l.titulo == t);
            EXIGIR(textoDeCabecera(l.paso, l.titulo) ==
                   QStringLiteral("Paso %1 de 7 · ").arg(l.paso) + QString(t).remove(fuzz::bidi));
        } else {
            // Only the downloads' step creeps the bar on.
            EXIGIR(l.progreso.paso == p.paso && (l.progreso.avance == p.avance || p.paso == 5));
            EXIGIR(l.tipo == LecturaLinea::blanca ||
                   (l.texto == limpia &&
                    fuzz::acortada(textoDeDetalle(l.texto), QString(limpia).remove(fuzz::bidi))));
        }
        // Nothing shown can turn the program's own text around.
        EXIGIR(!detalleDeFallo(limpia).contains(fuzz::bidi));
        p = l.progreso;
    }
    return 0;
}
