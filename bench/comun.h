#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// What every in-process benchmark needs: a HOME of its own and no display.
struct Laboratorio {
    QTemporaryDir casa;
    Laboratorio() {
        qputenv("HOME", casa.path().toLocal8Bit());
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
};

inline void escribirArchivo(const QString& ruta, const QByteArray& texto, bool ejecutable = false) {
    QDir().mkpath(QFileInfo(ruta).absolutePath());
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("no se pudo escribir %s", qPrintable(ruta));
    f.write(texto);
    f.close();
    if (ejecutable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
}
