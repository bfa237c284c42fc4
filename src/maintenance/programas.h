#pragma once

#include "maintenance/mantenimiento.h"

#include <QList>
#include <atomic>

// The runtime's programs, started as the engine is started.

// What a verification says of them: the interpreter and ffmpeg run, and the
// engine loads with that interpreter, as the installer's last step checks.
void probarProgramas(const Globales& g, const std::atomic<bool>& parar, QList<Problema>& problemas);
