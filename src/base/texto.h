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

// Decoding that never fails: invalid sequences become U+FFFD.
QString decodificar(QByteArrayView bytes);

// The whole file as UTF-8, or nothing when it is missing, unreadable or not UTF-8.
std::optional<QString> leerUtf8(const QString& ruta);
