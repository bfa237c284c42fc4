#pragma once

#include <QString>
#include <optional>

// Absolute paths of the system tools the program runs. On macOS they are the
// system's own; elsewhere the macOS-only ones are small stand-ins shipped in
// the bundle (Contents/Resources/plataforma).
struct Herramientas {
    QString curl;
    QString xattr;
    QString open;
    QString defaults;
    QString killall;
    QString hdiutil;
    QString bash;
};

Herramientas herramientasDelSistema(const QString& recursos);

// The values fixed once at start-up and read everywhere afterwards.
struct Globales {
    QString HOME;     // the user's home folder
    QString DATOS;    // ~/Library/Application Support/VARNO
    QString RECURSOS; // the bundle's resource folder, or the working directory
    QString VERSION;
    QString PYTHON;   // DATOS/python/bin/python
    QString REGISTRO; // DATOS/instalacion.log
    QString MESA_LOG; // DATOS/mesa.log
    QString BUNDLE;   // the running bundle (X.app), or the executable's folder outside one
    QString EJECUTABLE;
    Herramientas herramientas;
};

// The bundle is X.app when the executable sits at X.app/Contents/MacOS/<exe>.
std::optional<QString> bundleDe(const QString& ejecutable);
std::optional<QString> recursosDe(const QString& ejecutable);

// "beta" when the file cannot be read or is not UTF-8; white space and line
// separators trimmed at both ends.
QString leerVersion(const QString& recursos);

Globales calcularGlobales(const QString& home, const std::optional<QString>& recursos,
                          const QString& bundle = {}, const QString& ejecutable = {});
