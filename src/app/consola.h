#pragma once

#include "base/globales.h"

struct Opciones;

// Runs `--verificar`, `--reparar` or `--eliminar-motor` with plain lines on
// standard output: 0 when all is well, 1 when something is wrong or failed.
// Needs a core application and the instance lock, which the caller holds.
int mantenerEnConsola(const Opciones& o, const Globales& g);
