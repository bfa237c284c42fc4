#include "maintenance/mantenimiento.h"

#include <algorithm>

QString aReparar(const Informe& informe) {
    bool python = false, ffmpeg = false;
    QStringList bibliotecas;
    for (const Problema& p : informe.problemas) {
        const Parte& parte = p.parte;
        python = python || parte.tipo == Parte::Tipo::python;
        ffmpeg = ffmpeg || parte.tipo == Parte::Tipo::ffmpeg;
        // The marker any run of the installer writes again. A library the
        // installer could not tell from the next in its list is not named.
        const auto nombrable = [](const QString& s) {
            return !s.isEmpty() && !s.contains(QLatin1Char(' '));
        };
        if (parte.tipo != Parte::Tipo::biblioteca || !nombrable(parte.nombre) ||
            !nombrable(parte.version))
            continue;
        const QString ficha = parte.nombre + QStringLiteral("==") + parte.version;
        if (!bibliotecas.contains(ficha))
            bibliotecas << ficha;
    }
    std::sort(bibliotecas.begin(), bibliotecas.end());
    QStringList fichas;
    if (python)
        fichas << QStringLiteral("python");
    if (ffmpeg)
        fichas << QStringLiteral("ffmpeg");
    return (fichas + bibliotecas).join(QLatin1Char(' '));
}
