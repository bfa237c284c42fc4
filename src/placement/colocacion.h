#pragma once

#include "base/globales.h"
#include "base/resultado.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

// The bundle's real location when the system runs it from a translocated copy;
// any other path, or one the system cannot resolve, comes back unchanged.
QString rutaOriginal(const QString& ruta);

// What the move into Applications depends on, so that it can run on any folders.
struct Colocacion {
    QString bundle; // the running bundle
    QString home;
    bool noMover = false;
    QString aplicaciones = QStringLiteral("/Applications"); // the system-wide folder
    QString volumenes = QStringLiteral("/Volumes");         // where disk images are mounted
    Herramientas herramientas;
};

// Already inside the system-wide or the home folder's Applications, at any depth.
bool yaColocado(const QString& bundle, const QString& home, const QString& aplicaciones);

// The mounted volume a bundle lies on: `volumenes` and the first folder below it.
std::optional<QString> volumenDe(const QString& fuente, const QString& volumenes);

// Whether `volumen` is where a disk image is mounted, as `hdiutil info -plist`
// lists them (a "mount-point" in one of the images' partitions).
bool esImagenMontada(const QString& volumen, const QString& hdiutilInfo);
bool esImagenMontada(const QString& volumen, const Herramientas& h);
// After `retraso`, and off the calling thread, ejects `volumen` when it is a
// mounted disk image (never an external or network drive VARNO was run from).
void expulsarMasTarde(const QString& volumen, const Herramientas& h,
                      std::chrono::milliseconds retraso, QObject* contexto);

// Copies the running bundle into an Applications folder as VARNO.app and starts
// the copy. The copy is made under a temporary name and renamed into place; an
// older copy is set aside until the new one has started, and put back when
// anything fails, or at the next start when a run was cut short in between.
// True when the copy has started (this one quits now), false when there was
// nothing to move, or why the move failed, in one line.
Resultado<bool> moverAAplicaciones(const Colocacion& c);
Resultado<bool> moverAAplicaciones(const Globales& g, bool noMover);

// The file URL of a folder as the Dock keeps it: trailing slash, bytes outside
// the characters a URL path allows percent-encoded.
QString urlDeCarpeta(const QString& ruta);

// The property-list dictionary that pins `bundle` to the Dock.
QString entradaDelDock(const QString& bundle);

// Pins `bundle` to the Dock unless an entry already names VARNO.app. False,
// and the Dock left alone, when the bundle is not in an Applications folder
// or the Dock's list could not be written.
bool ponerEnElDock(const QString& bundle, const QString& home, const Herramientas& h,
                   const QString& aplicaciones = QStringLiteral("/Applications"));
bool ponerEnElDock(const Globales& g);
