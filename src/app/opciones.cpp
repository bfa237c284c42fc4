#include "app/opciones.h"

#include <QRegularExpression>
#include <charconv>
#include <clocale>
#include <cstdlib>
#ifdef __APPLE__
#include <xlocale.h>
#endif

namespace {
// The values of the first occurrence of `opcion`, when it has `cuantos` of them.
std::optional<QStringList> valores(const QStringList& argumentos, const QString& opcion,
                                   qsizetype cuantos) {
    const qsizetype i = argumentos.indexOf(opcion);
    if (i == -1 || i + cuantos >= argumentos.size())
        return std::nullopt;
    return argumentos.mid(i + 1, cuantos);
}
} // namespace

std::optional<double> leerEscala(const QString& texto) {
    static const QRegularExpression forma(
        QStringLiteral(R"(\A[+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?\z)"));
    if (!forma.match(texto).hasMatch())
        return std::nullopt;
    // The C library's own reader, in the "C" locale whatever the user's is: the
    // toolkit sets the user's, where a decimal comma would cut "1.5" short.
    // Written correctly but beyond a double, it gives an infinity or zero.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
    const QByteArray ascii = texto.toLatin1();
    return strtod_l(ascii.constData(), nullptr, c);
}

std::optional<qint64> leerPantalla(const QString& texto) {
    static const QRegularExpression forma(QStringLiteral(R"(\A[+-]?[0-9]+\z)"));
    if (!forma.match(texto).hasMatch())
        return std::nullopt;
    QByteArray ascii = texto.toLatin1();
    if (ascii.startsWith('+'))
        ascii.remove(0, 1);
    qint64 valor{};
    const auto [fin, error] =
        std::from_chars(ascii.constData(), ascii.constData() + ascii.size(), valor, 10);
    if (error != std::errc() || fin != ascii.constData() + ascii.size())
        return std::nullopt;
    return valor;
}

Opciones leerOpciones(const QStringList& argumentosConPrograma) {
    // The program's own path may be anything, even an option's name.
    const QStringList argumentos = argumentosConPrograma.mid(1);
    Opciones o;
    if (const auto v = valores(argumentos, QStringLiteral("--icono"), 1))
        o.icono = v->at(0);
    if (const auto v = valores(argumentos, QStringLiteral("--fondo-dmg"), 2))
        o.fondoDmg = Opciones::Fondo{v->at(0), leerEscala(v->at(1)).value_or(1.0)};
    if (const auto v = valores(argumentos, QStringLiteral("--captura"), 2))
        o.captura = Opciones::Captura{v->at(0), leerPantalla(v->at(1)).value_or(0)};
    if (const auto v = valores(argumentos, QStringLiteral("--expulsar"), 1))
        o.expulsar = v->at(0);
    o.noMover = argumentos.contains(QStringLiteral("--no-mover"));
    using M = Opciones::Mantenimiento;
    for (const auto& [opcion, modo] : {std::pair(QStringLiteral("--mantenimiento"), M::pantalla),
                                       {QStringLiteral("--verificar"), M::verificar},
                                       {QStringLiteral("--reparar"), M::reparar},
                                       {QStringLiteral("--eliminar-motor"), M::eliminar}}) {
        if (!argumentos.contains(opcion))
            continue;
        o.malUso = o.malUso || o.mantenimiento != M::no;
        o.mantenimiento = modo;
    }
    return o;
}
