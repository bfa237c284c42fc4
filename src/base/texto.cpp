#include "base/texto.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>
#include <QTextBoundaryFinder>
#include <cstring>
#include <utility>

namespace {
bool esEspacio(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}
} // namespace

QStringView recortada(QStringView linea) {
    qsizetype inicio = 0;
    qsizetype fin = linea.size();
    while (inicio < fin && esEspacio(linea[inicio]))
        ++inicio;
    while (fin > inicio && esEspacio(linea[fin - 1]))
        --fin;
    return linea.sliced(inicio, fin - inicio);
}

QString acortar(const QString& texto, int maximo) {
    // Each grapheme cluster needs at least one code unit, so short text is done at once.
    if (texto.size() <= maximo)
        return texto;
    QTextBoundaryFinder grafemas(QTextBoundaryFinder::Grapheme, texto);
    for (int contados = 0; contados < maximo; ++contados)
        if (grafemas.toNextBoundary() == -1)
            return texto;
    const qsizetype corte = grafemas.position();
    if (corte >= texto.size())
        return texto;
    return texto.left(corte) + QChar(0x2026);
}

namespace {
// The length of the well-formed sequence that starts `s` (of `n` bytes), minus
// the length of its maximal invalid subpart, or 0 when the bytes end inside a
// sequence that may still turn out well formed.
int secuencia(const uchar* s, qsizetype n) {
    const uchar b = s[0];
    if (b < 0x80)
        return 1;
    if (b < 0xC2 || b > 0xF4)
        return -1;
    const int largo = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    // The second byte's range keeps out overlong forms, surrogates and
    // anything past U+10FFFF.
    uchar bajo = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
    uchar alto = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
    for (int i = 1; i < largo; ++i) {
        if (i >= n)
            return 0;
        if (s[i] < bajo || s[i] > alto)
            return -i;
        bajo = 0x80;
        alto = 0xBF;
    }
    return largo;
}
} // namespace

QString DecodificadorUtf8::decodificar(QByteArrayView entrada) {
    QByteArray unidos;
    if (!pendiente_.isEmpty()) {
        unidos = std::exchange(pendiente_, QByteArray()).append(entrada);
        entrada = unidos;
    }
    const auto* s = reinterpret_cast<const uchar*>(entrada.data());
    const qsizetype n = entrada.size();
    // Well-formed stretches go to Qt's fast decoder, which keeps a mark.
    QStringDecoder validos(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    // Never more UTF-16 units than bytes.
    QString texto(n, Qt::Uninitialized);
    QChar* fin = texto.data();
    qsizetype desde = 0;
    qsizetype i = 0;
    for (;;) {
        // Eight ASCII bytes at a time.
        for (quint64 w; i + 8 <= n; i += 8) {
            std::memcpy(&w, s + i, 8);
            if (w & 0x8080808080808080ULL)
                break;
        }
        if (i >= n)
            break;
        const int l = secuencia(s + i, n - i);
        if (l > 0) {
            i += l;
            continue;
        }
        fin = validos.appendToBuffer(fin, entrada.sliced(desde, i - desde));
        if (l == 0) {
            pendiente_ = entrada.sliced(i).toByteArray();
            desde = i = n;
            break;
        }
        *fin++ = QChar::ReplacementCharacter;
        desde = i -= l;
    }
    fin = validos.appendToBuffer(fin, entrada.sliced(desde, i - desde));
    texto.truncate(fin - texto.constData());
    return texto;
}

QString DecodificadorUtf8::terminar() {
    if (pendiente_.isEmpty())
        return {};
    pendiente_.clear();
    return QString(QChar::ReplacementCharacter);
}

QString decodificar(QByteArrayView bytes) {
    DecodificadorUtf8 d;
    // In this order: the operands of a sum may be evaluated either way round.
    QString texto = d.decodificar(bytes);
    return texto + d.terminar();
}

QString sinFormatoBidi(QStringView texto) {
    QString limpio = texto.toString();
    limpio.removeIf([](QChar c) {
        return (c >= u'\u202A' && c <= u'\u202E') || (c >= u'\u2066' && c <= u'\u2069');
    });
    return limpio;
}

std::optional<QString> leerUtf8(const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texto = d.decode(bytes);
    if (d.hasError())
        return std::nullopt;
    return texto;
}

std::optional<QString> lineaQueCuenta(const QString& texto) {
    QStringList guardadas;
    qsizetype inicio = 0;
    for (qsizetype i = 0; i <= texto.size(); ++i) {
        if (i < texto.size() && !esSaltoDeLinea(texto[i].unicode()))
            continue;
        const QString linea = recortarEspacios(QStringView(texto).sliced(inicio, i - inicio));
        if (!linea.isEmpty() && !linea.startsWith(QLatin1String("---")))
            guardadas.append(linea);
        inicio = i + 1;
    }
    if (guardadas.isEmpty())
        return std::nullopt;
    QString elegida = guardadas.last();
    for (auto it = guardadas.crbegin(); it != guardadas.crend(); ++it) {
        if (it->contains(QLatin1String("Error")) || it->contains(QLatin1String("error"))) {
            elegida = *it;
            break;
        }
    }
    return acortar(elegida, 160);
}

std::optional<QString> ultimaLinea(const QString& ruta) {
    const auto texto = leerUtf8(ruta);
    if (!texto)
        return std::nullopt;
    return lineaQueCuenta(*texto);
}
