// The input split at NUL bytes is the argument list; each argument is also read as a scale and
// a screen number and checked against the C library, in the "C" locale every program starts in.
// Not reached: leerPantalla's reader stopping short of the end without an error, which the form
// checked before it rules out.
#include "app/opciones.h"
#include "base/texto.h"
#include "comun.h"

#include <cerrno>
#include <cfloat>
#include <regex>

namespace {

void revisarNumeros(const QString& t) {
    static const std::regex escala("[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?");
    static const std::regex entero("[+-]?[0-9]+");
    const std::string s = t.toStdString();
    const std::optional<double> e = leerEscala(t);
    EXIGIR(e.has_value() == std::regex_match(s, escala));
    const double c = std::strtod(s.c_str(), nullptr);
    // An underflow may come back as zero instead of strtod's subnormal.
    EXIGIR(!e || *e == c || (std::fabs(c) < DBL_MIN && *e == 0.0));
    errno = 0;
    const long long n = std::strtoll(s.c_str(), nullptr, 10);
    const std::optional<qint64> p = leerPantalla(t);
    EXIGIR(p.has_value() == (std::regex_match(s, entero) && errno != ERANGE));
    EXIGIR(!p || *p == n);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    QStringList a{QStringLiteral("/Applications/VARNO.app/Contents/MacOS/VARNO")};
    for (const QByteArray& argumento : fuzz::bytes(datos, tamano).split('\0'))
        a.append(decodificar(argumento));
    const Opciones o = leerOpciones(a);

    // Each option takes the values after its first occurrence, when all of them are there.
    const auto valores = [&](const char* opcion, int cuantos) {
        const qsizetype i = a.indexOf(QLatin1String(opcion), 1);
        return i < 0 || i + cuantos >= a.size() ? QStringList() : a.mid(i + 1, cuantos);
    };
    const QStringList fondo = valores("--fondo-dmg", 2), captura = valores("--captura", 2);
    EXIGIR((o.icono ? QStringList{*o.icono} : QStringList()) == valores("--icono", 1));
    EXIGIR((o.expulsar ? QStringList{*o.expulsar} : QStringList()) == valores("--expulsar", 1));
    EXIGIR(fondo.isEmpty() ? !o.fondoDmg
                           : o.fondoDmg && o.fondoDmg->ruta == fondo[0] &&
                                 o.fondoDmg->escala == leerEscala(fondo[1]).value_or(1.0));
    EXIGIR(captura.isEmpty() ? !o.captura
                             : o.captura && o.captura->ruta == captura[0] &&
                                   o.captura->pantalla == leerPantalla(captura[1]).value_or(0));
    EXIGIR(o.noMover == a.mid(1).contains(QStringLiteral("--no-mover")));
    // One maintenance option at most: two or more are a wrong command line.
    int cuantas = 0, ultima = 0, i = 0;
    for (const char* m : {"--mantenimiento", "--verificar", "--reparar", "--eliminar-motor"}) {
        ++i;
        if (a.mid(1).contains(QLatin1String(m)))
            ++cuantas, ultima = i;
    }
    EXIGIR(int(o.mantenimiento) == ultima && o.malUso == (cuantas > 1));
    for (const QString& t : a)
        revisarNumeros(t);
    return 0;
}
