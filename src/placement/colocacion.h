#pragma once

#include "app/globales.h"

#include <QString>
#include <QStringList>

// The bundle's real location when the system runs it from a translocated copy.
QString rutaOriginal(const QString& ruta);

// Copies the running bundle into an Applications folder and starts the copy.
// True when the caller must quit now.
bool moverAAplicaciones(const Globales& g, const QStringList& argumentos);

// Pins the running bundle to the Dock once.
void ponerEnElDock(const Globales& g);
