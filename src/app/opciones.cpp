#include "app/opciones.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>

namespace {
// The values of the first occurrence of `opcion`, when it has `cuantos` of them.
std::optional<QStringList> valores(const QStringList& argumentos, const QString& opcion,
                                   qsizetype cuantos) {
    const qsizetype i = argumentos.indexOf(opcion, 1);
    if (i < 0 || i + cuantos >= argumentos.size())
        return std::nullopt;
    return argumentos.mid(i + 1, cuantos);
}
} // namespace

std::optional<double> leerEscala(const QString& texto) {
    static const QRegularExpression forma(
        QStringLiteral(R"(\A[+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?\z)"));
    if (!forma.match(texto).hasMatch())
        return std::nullopt;
    QByteArray ascii = texto.toLatin1();
    const bool negativo = ascii.startsWith('-');
    if (ascii.startsWith('+') || negativo)
        ascii.remove(0, 1);
    double valor = 0;
    const auto [fin, error] = std::from_chars(ascii.constData(), ascii.constData() + ascii.size(),
                                              valor, std::chars_format::general);
    if (fin != ascii.constData() + ascii.size())
        return std::nullopt;
    if (error == std::errc::result_out_of_range) {
        // Written correctly but beyond a double: as strtod, an infinity or zero.
        const bool exponenteNegativo = ascii.contains("e-") || ascii.contains("E-");
        valor = exponenteNegativo ? 0.0 : HUGE_VAL;
    }
    return negativo ? -valor : valor;
}

std::optional<qint64> leerPantalla(const QString& texto) {
    static const QRegularExpression forma(QStringLiteral(R"(\A[+-]?[0-9]+\z)"));
    if (!forma.match(texto).hasMatch())
        return std::nullopt;
    QByteArray ascii = texto.toLatin1();
    if (ascii.startsWith('+'))
        ascii.remove(0, 1);
    qint64 valor = 0;
    const auto [fin, error] =
        std::from_chars(ascii.constData(), ascii.constData() + ascii.size(), valor, 10);
    if (error != std::errc() || fin != ascii.constData() + ascii.size())
        return std::nullopt;
    return valor;
}

Opciones leerOpciones(const QStringList& argumentos) {
    Opciones o;
    if (const auto v = valores(argumentos, QStringLiteral("--icono"), 1))
        o.icono = v->at(0);
    if (const auto v = valores(argumentos, QStringLiteral("--fondo-dmg"), 2))
        o.fondoDmg = Opciones::Fondo{v->at(0), leerEscala(v->at(1)).value_or(1.0)};
    if (const auto v = valores(argumentos, QStringLiteral("--captura"), 2))
        o.captura = Opciones::Captura{v->at(0), leerPantalla(v->at(1)).value_or(0)};
    if (const auto v = valores(argumentos, QStringLiteral("--expulsar"), 1))
        o.expulsar = v->at(0);
    o.noMover = argumentos.indexOf(QStringLiteral("--no-mover"), 1) >= 0;
    return o;
}
