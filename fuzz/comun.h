#pragma once

// What the fuzz targets share. A broken property aborts, so libFuzzer keeps
// the input that broke it.
#include <QFile>
#include <QStringDecoder>
#include <QStringList>
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

// The seven line breaks and the white space lines are trimmed of, as plain
// lists rather than the program's own predicates.
inline bool esSalto(QChar c) {
    return QStringView(u"\n\v\f\r\u0085\u2028\u2029").contains(c);
}
inline bool esBlanco(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}
inline QString recortar(QString l, bool (*quitable)(QChar) = esBlanco) {
    while (!l.isEmpty() && quitable(l.back()))
        l.chop(1);
    while (!l.isEmpty() && quitable(l.front()))
        l.remove(0, 1);
    return l;
}

// The pieces between line breaks, the last one unfinished.
inline QStringList partir(const QString& texto) {
    QStringList trozos{QString()};
    for (QChar c : texto) {
        if (esSalto(c))
            trozos.append(QString());
        else
            trozos.last().append(c);
    }
    return trozos;
}

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
