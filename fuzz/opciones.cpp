// The command line: an argument list made from the input (arguments split at
// NUL bytes, each decoded as UTF-8), read by the option grammar; every argument
// is also read as a scale and as a screen number and checked against a plain
// reading of the same rules.
#include "app/opciones.h"
#include "base/texto.h"
#include "comun.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// Optional sign, then digits with at most one point and at least one digit,
// then an optional exponent with at least one digit; nothing else.
bool formaDeEscala(const QString& t) {
    qsizetype i = 0;
    const auto digitos = [&] {
        const qsizetype desde = i;
        while (i < t.size() && t[i] >= u'0' && t[i] <= u'9')
            ++i;
        return i - desde;
    };
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    qsizetype mantisa = digitos();
    if (i < t.size() && t[i] == u'.') {
        ++i;
        mantisa += digitos();
    }
    if (mantisa == 0)
        return false;
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
            ++i;
        if (digitos() == 0)
            return false;
    }
    return i == t.size();
}

void revisarEscala(const QString& t) {
    const std::optional<double> e = leerEscala(t);
    EXIGIR(e.has_value() == formaDeEscala(t));
    if (!e)
        return;
    const QByteArray ascii = t.toLatin1();
    errno = 0;
    const double esperada = std::strtod(ascii.constData(), nullptr);
    EXIGIR(!std::isnan(*e));
    // An underflow may come back as zero instead of strtod's subnormal.
    if (std::fabs(esperada) < std::numeric_limits<double>::min())
        EXIGIR(*e == esperada || *e == 0.0);
    else
        EXIGIR(*e == esperada);
}

void revisarPantalla(const QString& t) {
    // Plain reading: sign, ASCII digits, and the 64-bit range checked with a
    // wider integer.
    qsizetype i = 0;
    bool negativo = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        negativo = t[i++] == u'-';
    bool valida = i < t.size();
    const __int128 limite = static_cast<__int128>(1) << 63;
    __int128 valor = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < u'0' || t[i] > u'9') {
            valida = false;
            break;
        }
        if (valor <= limite)
            valor = valor * 10 + (t[i].unicode() - u'0');
    }
    const bool cabe = negativo ? valor <= limite : valor < limite;
    if (negativo)
        valor = -valor;
    const std::optional<qint64> p = leerPantalla(t);
    EXIGIR(p.has_value() == (valida && cabe));
    if (p)
        EXIGIR(*p == static_cast<qint64>(valor));
}

// The values of the first occurrence of `opcion` after the program's path.
std::optional<QStringList> despues(const QStringList& a, const char* opcion, int cuantos) {
    for (qsizetype i = 1; i < a.size(); ++i)
        if (a[i] == QLatin1String(opcion))
            return i + cuantos < a.size() ? std::optional(a.mid(i + 1, cuantos)) : std::nullopt;
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    QStringList argumentos{QStringLiteral("/Applications/VARNO.app/Contents/MacOS/VARNO")};
    for (const QByteArray& a : fuzz::bytes(datos, tamano).split('\0'))
        argumentos.append(decodificar(a));

    const Opciones o = leerOpciones(argumentos);
    const auto icono = despues(argumentos, "--icono", 1);
    const auto fondo = despues(argumentos, "--fondo-dmg", 2);
    const auto captura = despues(argumentos, "--captura", 2);
    const auto expulsar = despues(argumentos, "--expulsar", 1);
    EXIGIR(o.icono.has_value() == icono.has_value());
    EXIGIR(!o.icono || *o.icono == icono->at(0));
    EXIGIR(o.fondoDmg.has_value() == fondo.has_value());
    EXIGIR(!o.fondoDmg || o.fondoDmg->ruta == fondo->at(0));
    EXIGIR(!o.fondoDmg || leerEscala(fondo->at(1)) || o.fondoDmg->escala == 1.0);
    EXIGIR(o.captura.has_value() == captura.has_value());
    EXIGIR(!o.captura || o.captura->ruta == captura->at(0));
    EXIGIR(!o.captura || leerPantalla(captura->at(1)) || o.captura->pantalla == 0);
    EXIGIR(o.expulsar.has_value() == expulsar.has_value());
    EXIGIR(!o.expulsar || *o.expulsar == expulsar->at(0));
    EXIGIR(o.noMover == argumentos.mid(1).contains(QStringLiteral("--no-mover")));

    for (qsizetype i = 1; i < argumentos.size(); ++i) {
        revisarEscala(argumentos[i]);
        revisarPantalla(argumentos[i]);
    }
    return 0;
}
