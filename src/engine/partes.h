#pragma once

#include "base/globales.h"

#include <QString>
#include <QStringList>

// The engine's runtime in DATOS, said once: the names of its parts, what
// makes it installed, and what a removal takes. Everything else in DATOS (the
// engine's working folder app/, the logs) is the user's.
namespace partes {
// Relative to DATOS. The interpreter is `Globales::PYTHON`, inside `python`.
inline const QString marca = QStringLiteral("instalado.txt"); // the version; written last
inline const QString python = QStringLiteral("python");       // the interpreter and libraries
inline const QString ffmpeg = QStringLiteral("bin/ffmpeg");
inline const QString manifiesto = QStringLiteral("entorno.RECORD"); // every file of the runtime
inline const QString trabajo = QStringLiteral("app"); // where the engine runs; the user's

// Every name in DATOS that belongs to the runtime, the marker first, so that a
// removal cut short never leaves it claiming the rest; besides them, the
// leftovers of unfinished runs, ".tmp.*".
const QStringList& nombres();
bool esParte(const QString& nombre);

// Those present in DATOS (a link counts), leftovers included.
QStringList presentes(const Globales& g);
} // namespace partes

// How much of a runtime DATOS holds, each state including the ones before it.
enum class EstadoDelMotor {
    ninguno,   // neither the interpreter nor the marker
    restos,    // one of them: something to verify, repair or remove
    anterior,  // a runnable interpreter and a marker: an installation to update
    instalado, // and the marker names exactly this bundle's version
};
EstadoDelMotor estadoDelMotor(const Globales& g);
