#pragma once

// What the fuzz targets share. A broken property aborts, so libFuzzer keeps
// the input that broke it.
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#define EXIGIR(c)                                                                                  \
    ((c) ? void()                                                                                  \
         : (std::fprintf(stderr, "%s:%d: no se cumple: %s\n", __FILE__, __LINE__, #c),             \
            std::abort()))

namespace fuzz {

inline QByteArray bytes(const uint8_t* datos, size_t tamano) {
    return QByteArray(reinterpret_cast<const char*>(datos), qsizetype(tamano));
}

// The seven line breaks and the white space lines are trimmed of, written out
// here rather than taken from the program.
#define SALTOS "\\n\\v\\f\\r\\x{85}\\x{2028}\\x{2029}"
inline const QRegularExpression salto(QStringLiteral("[" SALTOS "]")),
    blancos(QStringLiteral("\\A[\\t\\p{Zs}]+|[\\t\\p{Zs}]+\\z")),
    blancosYSaltos(QStringLiteral("\\A[\\t\\p{Zs}" SALTOS "]+|[\\t\\p{Zs}" SALTOS "]+\\z"));

// Strict UTF-8 as Qt's decoder judges it, a byte-order mark kept as a character.
inline std::optional<QString> utf8(const QByteArray& b) {
    QStringDecoder d(QStringDecoder::Utf8,
                     QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString texto = d.decode(b);
    return d.hasError() ? std::nullopt : std::optional(texto);
}

// The bytes as the file `nombre` in a folder of the target's own; the folder.
inline QString escribir(const QByteArray& b, const QString& nombre) {
    static QTemporaryDir carpeta;
    QFile f(carpeta.filePath(nombre));
    EXIGIR(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(b) == b.size());
    return carpeta.path();
}

} // namespace fuzz
