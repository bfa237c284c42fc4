#include "maintenance/textos.h"

#include <QStringList>

QString sinControl(QStringView texto) {
    QString r = texto.toString();
    for (QChar& c : r)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph)
            c = QChar::ReplacementCharacter;
    return r;
}

QString tamano(qint64 bytes) {
    constexpr qint64 mega = 1000 * 1000, giga = 1000 * mega;
    // What would round to 1000 MB is already "1,0 GB".
    if (bytes < giga - mega / 2)
        return QStringLiteral("%1 MB").arg((bytes + mega / 2) / mega);
    // One decimal, rounded, with a comma: "2,1 GB".
    const qint64 decimas = (bytes * 10 + giga / 2) / giga;
    return QStringLiteral("%1,%2 GB").arg(cifra(decimas / 10)).arg(decimas % 10);
}

QString cifra(qint64 n) {
    QString t = QString::number(n < 0 ? -n : n);
    for (qsizetype i = t.size() - 3; i > 0; i -= 3)
        t.insert(i, QLatin1Char('.'));
    return n < 0 ? QLatin1Char('-') + t : t;
}

QString descripcion(const Instalado& i) {
    QStringList partes;
    if (!i.python.isEmpty())
        partes << QStringLiteral("Python ") + i.python;
    if (!i.ffmpeg.isEmpty())
        partes << QStringLiteral("ffmpeg ") + i.ffmpeg;
    partes << (i.bibliotecas == 1 ? QStringLiteral("1 biblioteca")
                                  : QStringLiteral("%1 bibliotecas").arg(cifra(i.bibliotecas)));
    partes << tamano(i.bytes) + QStringLiteral(" en disco");
    return partes.join(QStringLiteral(" · "));
}

QString textoDeAvance(const AvanceVerificacion& a) {
    return QStringLiteral("%1 de %2 archivos · %3 de %4")
        .arg(cifra(a.archivos), cifra(a.archivosTotal), tamano(a.bytes), tamano(a.bytesTotal));
}

double fraccion(const AvanceVerificacion& a) {
    if (a.bytesTotal > 0)
        return double(a.bytes) / double(a.bytesTotal);
    return a.archivosTotal > 0 ? double(a.archivos) / double(a.archivosTotal) : 0.0;
}

QString estadoDelInforme(const Informe& i) {
    if (i.cancelado)
        return QStringLiteral("La verificación se detuvo.");
    const qsizetype n = i.problemas.size();
    if (n == 0)
        return QStringLiteral("El motor está sano.");
    return n == 1 ? QStringLiteral("El motor tiene un problema.")
                  : QStringLiteral("El motor tiene %1 problemas.").arg(cifra(n));
}

QString detalleDelInforme(const Informe& i) {
    if (!i.problemas.isEmpty())
        return i.problemas.first().linea();
    const qint64 segundos = (i.duracion.count() + 500) / 1000;
    return QStringLiteral("Se verificaron %1 archivos (%2) en %3 s.")
        .arg(cifra(i.archivos), tamano(i.bytes))
        .arg(segundos);
}

QString textoDelInforme(const Informe& i, const QString& version) {
    QString t = QStringLiteral("VARNO %1: %2\n").arg(version, estadoDelInforme(i));
    for (const Problema& p : i.problemas)
        t += p.linea() + QLatin1Char('\n');
    return t;
}
