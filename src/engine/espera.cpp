#include "app/delegado.h"

void Delegado::abrirYEsperar() {}
void Delegado::abrio() {}
void Delegado::noArranco() {}
