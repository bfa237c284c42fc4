#include "installer/protocolo.h"

#include "app/texto.h"

#include <algorithm>

QStringList Encuadre::agregar(QStringView texto) {
    // A line longer than the cap reaches the window cut; the log keeps it whole.
    const auto sumar = [this](QStringView trozo) {
        resto_ += trozo.left(qMax<qsizetype>(0, topeResto - resto_.size()));
    };
    QStringList lineas;
    qsizetype inicio = 0;
    for (qsizetype i = 0; i < texto.size(); ++i) {
        if (!esSaltoDeLinea(texto[i].unicode()))
            continue;
        sumar(texto.sliced(inicio, i - inicio));
        lineas.append(std::exchange(resto_, QString()));
        inicio = i + 1;
    }
    sumar(texto.sliced(inicio));
    return lineas;
}

EfectoLinea interpretarLinea(const QString& linea, Progreso actual,
                             const std::array<double, 8>& desde) {
    EfectoLinea e;
    e.progreso = actual;
    const QString limpia = recortarEspacios(linea);
    if (limpia.isEmpty())
        return e;
    e.ignorada = false;

    if (limpia.startsWith(QLatin1String("== ")) && limpia.size() > 3) {
        const char16_t digito = limpia[3].unicode();
        if (digito >= u'1' && digito <= u'7') {
            const int n = digito - u'0';
            QString titulo;
            if (const qsizetype barra = limpia.indexOf(QLatin1String("/7")); barra >= 0) {
                titulo = recortarEspacios(QStringView(limpia).sliced(barra + 2));
                if (const qsizetype nota = titulo.indexOf(QLatin1String(" (")); nota >= 0)
                    titulo.truncate(nota);
            }
            e.progreso.paso = n;
            e.progreso.avance = qMax(actual.avance, desde[n]);
            e.estado = QStringLiteral("Paso %1 de 7 · %2").arg(n).arg(titulo);
            return e;
        }
    }

    e.detalle = acortar(limpia, 160);
    if (actual.paso == 5)
        e.progreso.avance = qMin(actual.avance + 0.004, desde[6] - 0.01);
    return e;
}

QString cabeceraRegistro(const QString& version, const QDateTime& cuando) {
    return QStringLiteral("VARNO %1: instalación %2\n")
        .arg(version, cuando.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000")));
}

QString detalleDeFallo(const QString& ultimoDetalle) {
    static const QString reintentar =
        QStringLiteral("Puedes reintentar: lo ya descargado no se vuelve a descargar.");
    if (ultimoDetalle.isEmpty())
        return reintentar;
    // The script's text may open a direction override or embedding and never
    // close it; isolated, it cannot turn our own sentence after it around.
    const bool cambiaDireccion =
        std::any_of(ultimoDetalle.begin(), ultimoDetalle.end(), [](QChar c) {
            return (c >= u'\u202A' && c <= u'\u202E') || (c >= u'\u2066' && c <= u'\u2069');
        });
    if (cambiaDireccion)
        return QChar(0x2068) + ultimoDetalle + QChar(0x2069) + QStringLiteral("  —  ") + reintentar;
    return ultimoDetalle + QStringLiteral("  —  ") + reintentar;
}

QProcessEnvironment entornoInstalador(QProcessEnvironment base, const QString& origen,
                                      const QString& version) {
    base.insert(QStringLiteral("VARNO_ORIGEN"), origen);
    base.insert(QStringLiteral("VARNO_VERSION"), version);
    base.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin:/usr/sbin:/sbin"));
    return base;
}
