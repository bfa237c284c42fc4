#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// A broken property is reported like a crash, so libFuzzer keeps the input.
#define EXIGIR(condicion)                                                                          \
    do {                                                                                           \
        if (!(condicion)) {                                                                        \
            std::fprintf(stderr, "%s:%d: no se cumple: %s\n", __FILE__, __LINE__, #condicion);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace fuzz {

inline QByteArray bytes(const uint8_t* datos, size_t tamano) {
    return QByteArray(reinterpret_cast<const char*>(datos), static_cast<qsizetype>(tamano));
}

// Strict UTF-8 written out independently of Qt: no overlong forms, no
// surrogates, nothing past U+10FFFF.
inline bool esUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        int resto = 0;
        char32_t minimo = 0;
        char32_t c = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            resto = 1, minimo = 0x80, c = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            resto = 2, minimo = 0x800, c = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            resto = 3, minimo = 0x10000, c = b & 0x07;
        } else {
            return false;
        }
        if (i + resto >= s.size())
            return false;
        for (int k = 1; k <= resto; ++k) {
            const auto siguiente = static_cast<unsigned char>(s[i + k]);
            if ((siguiente & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (siguiente & 0x3F);
        }
        if (c < minimo || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += resto + 1;
    }
    return true;
}

// The seven line breaks and the white space lines are trimmed of, as plain
// lists rather than the product's own predicates.
inline bool esSalto(QChar c) {
    switch (c.unicode()) {
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x85:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}
inline bool esBlanco(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

} // namespace fuzz
