#include "base/texto.h"

#include <QFile>
#include <QStringDecoder>
#include <QTextBoundaryFinder>

namespace {
bool esEspacio(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}
} // namespace

QStringView recortada(QStringView linea) {
    qsizetype inicio = 0;
    qsizetype fin = linea.size();
    while (inicio < fin && esEspacio(linea[inicio]))
        ++inicio;
    while (fin > inicio && esEspacio(linea[fin - 1]))
        --fin;
    return linea.sliced(inicio, fin - inicio);
}

QString acortar(const QString& texto, int maximo) {
    // Each grapheme cluster needs at least one code unit, so short text is done at once.
    if (texto.size() <= maximo)
        return texto;
    QTextBoundaryFinder grafemas(QTextBoundaryFinder::Grapheme, texto);
    int contados = 0;
    qsizetype corte = 0;
    while (contados < maximo) {
        const qsizetype siguiente = grafemas.toNextBoundary();
        if (siguiente < 0)
            return texto;
        corte = siguiente;
        ++contados;
    }
    if (corte >= texto.size())
        return texto;
    return texto.left(corte) + QChar(0x2026);
}

QString decodificar(QByteArrayView bytes) {
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    return d.decode(bytes);
}

std::optional<QString> leerUtf8(const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texto = d.decode(bytes);
    if (d.hasError())
        return std::nullopt;
    return texto;
}
