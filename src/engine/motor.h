#pragma once

#include "base/globales.h"

#include <QStringList>
#include <optional>

// The engine's health address, on the loopback interface only.
inline constexpr char URL_SALUD[] = "http://127.0.0.1:8770/api/hola";

// curl's own limit bounds one probe to 1.5 seconds.
QStringList argumentosSonda();

// True when the installed marker names exactly this bundle's version and the
// interpreter is executable.
bool instalado(const Globales& g = globales());

// One probe of the health address: true when the answer mentions "version".
bool responde(const Globales& g = globales());

// Starts the engine detached, so it outlives this program; its process id, or
// nothing when it could not be started.
std::optional<qint64> abrirVARNO(const Globales& g = globales());

// Whether the process with this id still runs.
bool sigueVivo(qint64 pid);
