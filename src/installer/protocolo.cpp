#include "installer/protocolo.h"

#include "base/proceso.h"
#include "base/texto.h"

#include <algorithm>
#if defined(__SSE2__) && !defined(VARNO_SIN_SIMD)
#include <emmintrin.h>
#endif

QStringView Trozo::linea(qsizetype i) const {
    if (primera) {
        if (i == 0)
            return *primera;
        --i;
    }
    return QStringView(texto).sliced(tramos[i].first, tramos[i].second);
}

Trozo Encuadre::trocear(QString textoDado) {
    Trozo t;
    t.texto = std::move(textoDado);
    const QStringView texto(t.texto);
    // A line longer than the cap reaches the window cut; the log keeps it whole.
    const auto sumar = [this](QStringView trozo) {
        resto_ += trozo.left(qMax<qsizetype>(0, topeResto - resto_.size()));
    };
    qsizetype inicio = 0;
    const char16_t* const d = texto.utf16();
    const qsizetype n = texto.size();
    // Characters from U+000E to U+0084 never end a line: one unsigned
    // comparison rules them out (NEL, U+0085, is the first past them), and
    // whole blocks of them are skipped at once.
    const auto puedeSerSalto = [](char16_t c) { return char16_t(c - u'\x0e') >= 0x77; };
    constexpr qsizetype BLOQUE = 16;
    const auto bloqueLimpio = [&](qsizetype i) {
#if defined(__SSE2__) && !defined(VARNO_SIN_SIMD)
        // Sixteen characters in two vector comparisons.
        static_assert(BLOQUE == 16);
        const __m128i catorce = _mm_set1_epi16(0x0e);
        const __m128i limite = _mm_set1_epi16(0x76);
        const auto fuera = [&](qsizetype j) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + j));
            return _mm_subs_epu16(_mm_sub_epi16(x, catorce), limite);
        };
        const __m128i alguno = _mm_or_si128(fuera(i), fuera(i + 8));
        return _mm_movemask_epi8(_mm_cmpeq_epi16(alguno, _mm_setzero_si128())) == 0xffff;
#else
        return std::none_of(d + i, d + i + BLOQUE, puedeSerSalto);
#endif
    };
    for (qsizetype i = 0; i < n;) {
        while (n - i >= BLOQUE && bloqueLimpio(i))
            i += BLOQUE;
        for (const qsizetype fin = qMin(i + BLOQUE, n); i < fin; ++i) {
            if (!puedeSerSalto(d[i]) || !esSaltoDeLinea(d[i]))
                continue;
            // Only a line begun in an earlier chunk needs a string of its own;
            // once it has one, nothing is left over.
            if (resto_.isEmpty()) {
                t.tramos.append({inicio, qMin(i - inicio, topeResto)});
            } else {
                sumar(texto.sliced(inicio, i - inicio));
                t.primera = std::exchange(resto_, QString());
            }
            inicio = i + 1;
        }
    }
    sumar(texto.sliced(inicio));
    return t;
}

LecturaLinea leerLinea(QStringView linea, Progreso actual) {
    LecturaLinea l;
    l.progreso = actual;
    const QStringView limpia = recortada(linea);
    if (limpia.isEmpty())
        return l;

    if (limpia.size() > 3 && limpia.startsWith(u"== ")) {
        const char16_t digito = limpia[3].unicode();
        if (digito >= u'1' && digito <= u'7') {
            l.tipo = LecturaLinea::cabecera;
            l.paso = digito - u'0';
            if (const qsizetype barra = limpia.indexOf(u"/7"); barra != -1) {
                l.titulo = recortada(limpia.sliced(barra + 2));
                if (const qsizetype nota = l.titulo.indexOf(u" ("); nota != -1)
                    l.titulo.truncate(nota);
            }
            l.progreso.paso = l.paso;
            l.progreso.avance = qMax(actual.avance, avanceAlEmpezar[l.paso]);
            return l;
        }
    }

    l.tipo = LecturaLinea::detalle;
    l.texto = limpia;
    // The libraries' step gives no totals, and on a slow link it lasts many
    // minutes: each line takes the bar a little of the way left short of the
    // next step, so it slows but never stands still. It never goes back, even
    // after the steps came out of order.
    if (actual.paso == 5)
        l.progreso.avance =
            qMax(actual.avance, actual.avance + (avanceAlEmpezar[6] - 0.01 - actual.avance) / 150);
    return l;
}

QString textoDeCabecera(int paso, QStringView titulo) {
    return QStringLiteral("Paso %1 de 7 · %2").arg(paso).arg(sinFormatoBidi(titulo));
}

QString textoDeDetalle(QStringView texto) {
    return acortar(sinFormatoBidi(texto), 160);
}

QString cabeceraRegistro(const QString& version, const QDateTime& cuando) {
    return QStringLiteral("VARNO %1: instalación %2\n")
        .arg(version, cuando.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000")));
}

QString detalleDeFallo(const QString& ultimoDetalle) {
    static const QString reintentar =
        QStringLiteral("Puedes reintentar: lo ya descargado no se vuelve a descargar.");
    // The script's text may open a direction override or embedding, or close
    // an isolate around it early: without any of them it cannot turn our own
    // sentence after it around.
    const QString dicho = sinFormatoBidi(ultimoDetalle);
    if (dicho.isEmpty())
        return reintentar;
    return dicho + QStringLiteral("  —  ") + reintentar;
}

QProcessEnvironment entornoInstalador(QProcessEnvironment base, const QString& origen,
                                      const QString& version, const QString& reparar) {
    // Bash reads these before the script's first line: a file to run first,
    // options and a search path for every line, a mode that parses otherwise,
    // a timeout on every read.
    for (const char* v : {"BASH_ENV", "ENV", "SHELLOPTS", "BASHOPTS", "CDPATH", "GLOBIGNORE",
                          "POSIXLY_CORRECT", "TMOUT"})
        base.remove(QString::fromLatin1(v));
    // Exported functions, which would replace any command of the script: named
    // BASH_FUNC_name%% by today's bash, __BASH_FUNC<name>() by the one macOS ships.
    for (const QString& nombre : base.keys())
        if (nombre.startsWith(u"BASH_FUNC_") || nombre.startsWith(u"__BASH_FUNC<"))
            base.remove(nombre);
    base.insert(QStringLiteral("VARNO_ORIGEN"), origen);
    base.insert(QStringLiteral("VARNO_VERSION"), version);
    // Only a repair VARNO asked for: never one left in the user's shell.
    base.remove(QStringLiteral("VARNO_REPARAR"));
    if (!reparar.isEmpty())
        base.insert(QStringLiteral("VARNO_REPARAR"), reparar);
    base.insert(QStringLiteral("PATH"), QLatin1String(rutaDelSistema));
    return base;
}
