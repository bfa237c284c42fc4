#include "placement/colocacion.h"

QString rutaOriginal(const QString& ruta) { return ruta; }
bool moverAAplicaciones(const Globales&, const QStringList&) { return false; }
void ponerEnElDock(const Globales&) {}
