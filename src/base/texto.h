#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>

// Text rules shared by the output protocol and the log reader.

// The seven characters that end a line of installer or engine output.
constexpr bool esSaltoDeLinea(char16_t c) {
    return c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == u'\u0085' ||
           c == u'\u2028' || c == u'\u2029';
}

// Spaces (Unicode Zs) and tabs, the white space a line is trimmed of.
QStringView recortada(QStringView linea);
inline QString recortarEspacios(QStringView linea) {
    return recortada(linea).toString();
}

// At most `maximo` user-perceived characters; longer text keeps its first
// `maximo` and ends in "…".
QString acortar(const QString& texto, int maximo = 160);

// UTF-8 decoding that never fails and does not depend on where the input is
// cut: a character split between two chunks comes whole once its last byte
// arrives, each maximal invalid subpart becomes one U+FFFD (so "a\xE2\x82b"
// gives "a\uFFFDb"), and a byte-order mark is a character wherever it falls.
// Qt's stateful decoder is not used because it gives one U+FFFD per byte of an
// invalid subpart, silently drops an unfinished sequence at the end, and drops
// a byte-order mark at the start of the input.
class DecodificadorUtf8 {
public:
    QString decodificar(QByteArrayView bytes);
    // The end of the input: an unfinished sequence becomes one U+FFFD.
    QString terminar();

private:
    QByteArray pendiente_;
};

// The whole input at once.
QString decodificar(QByteArrayView bytes);

// The text without bidirectional formatting characters (embeddings,
// overrides and isolates), which could turn text shown after it around.
QString sinFormatoBidi(QStringView texto);

// The whole file as UTF-8, or nothing when it is missing, unreadable or not UTF-8.
std::optional<QString> leerUtf8(const QString& ruta);

// The line of a log that best tells why something failed: the last one that
// mentions "Error" or "error", else the last line; blank lines and "---"
// separators do not count. Cut to 160 user-perceived characters and "…".
std::optional<QString> ultimaLinea(const QString& ruta);

// The same choice on text already read.
std::optional<QString> lineaQueCuenta(const QString& texto);
