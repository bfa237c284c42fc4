#include "installer/instalacion.h"

#include "app/delegado.h"

void Delegado::empezar() {}
void Delegado::linea(const QString&) {}
void Delegado::termino(bool) {}
bool Delegado::instaladorCorre() const { return false; }
void Delegado::cancelarInstalacion() {}
