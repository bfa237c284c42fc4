#pragma once

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTextBoundaryFinder>
#include <cstdio>
#include <cstdlib>

// A broken property aborts, so libFuzzer keeps the input that broke it.
#define EXIGIR(c)                                                                                  \
    ((c) ? void()                                                                                  \
         : (std::fprintf(stderr, "%s:%d: no se cumple: %s\n", __FILE__, __LINE__, #c),             \
            std::abort()))

namespace fuzz {

inline QByteArray bytes(const uint8_t* datos, size_t tamano) {
    return QByteArray(reinterpret_cast<const char*>(datos), qsizetype(tamano));
}

// Line breaks and trimmed white space, spelled out rather than taken from the program.
#define SALTOS "\\n\\v\\f\\r\\x{85}\\x{2028}\\x{2029}"
inline const QRegularExpression salto(QStringLiteral("[" SALTOS "]")),
    blancos(QStringLiteral("\\A[\\t\\p{Zs}]+|[\\t\\p{Zs}]+\\z")),
    blancosYSaltos(QStringLiteral("\\A[\\t\\p{Zs}" SALTOS "]+|[\\t\\p{Zs}" SALTOS "]+\\z"));

// Strict UTF-8 as Qt's decoder judges it, a byte-order mark kept as a character.
inline std::optional<QString> utf8(QByteArrayView b) {
    QStringDecoder d(QStringDecoder::Utf8,
                     QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString texto = d.decode(b);
    return d.hasError() ? std::nullopt : std::optional(texto);
}

// `corto` is `largo` whole up to 160 user-perceived characters as Qt counts them, else its first
// 160 and "…".
inline bool acortada(const QString& corto, const QString& largo) {
    QTextBoundaryFinder g(QTextBoundaryFinder::Grapheme, largo);
    for (int n = 0; n < 160 && g.position() < largo.size(); ++n)
        g.toNextBoundary();
    return corto ==
           (g.position() < largo.size() ? largo.left(g.position()) + QChar(0x2026) : largo);
}

// Embeddings, overrides and isolates, which turn the text after them around.
inline const QRegularExpression bidi(QStringLiteral("[\\x{202A}-\\x{202E}\\x{2066}-\\x{2069}]"));

// Writes the bytes as `nombre` in the target's own folder, and gives the folder.
inline QString escribir(const QByteArray& b, const QString& nombre) {
    static QTemporaryDir carpeta;
    QFile f(carpeta.filePath(nombre));
    EXIGIR(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(b) == b.size());
    return carpeta.path();
}

} // namespace fuzz
