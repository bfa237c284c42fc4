#include "maintenance/mantenimiento.h"

#include <algorithm>

QString aReparar(const Informe& informe) {
    bool python = false, ffmpeg = false;
    QStringList bibliotecas;
    for (const Problema& p : informe.problemas) {
        if (p.componente == QLatin1String("Python")) {
            python = true;
        } else if (p.componente == QLatin1String("ffmpeg")) {
            ffmpeg = true;
        } else {
            // A library is "nombre versión"; anything else (the marker) any run
            // of the installer writes again.
            const QStringList partes = p.componente.split(QLatin1Char(' '));
            if (partes.size() != 2 || partes[0].isEmpty() || partes[1].isEmpty())
                continue;
            const QString ficha = partes[0] + QStringLiteral("==") + partes[1];
            if (!bibliotecas.contains(ficha))
                bibliotecas << ficha;
        }
    }
    std::sort(bibliotecas.begin(), bibliotecas.end());
    QStringList fichas;
    if (python)
        fichas << QStringLiteral("python");
    if (ffmpeg)
        fichas << QStringLiteral("ffmpeg");
    return (fichas + bibliotecas).join(QLatin1Char(' '));
}
