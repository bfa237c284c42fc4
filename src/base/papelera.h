#pragma once

#include <QString>

// Moves what lies at `ruta` (a link itself, never what it leads to) into the
// user's Trash in one step, so that whenever the program is stopped it is
// either where it was or in the Trash, once. False, with nothing moved, when
// the Trash cannot take it: it is missing and cannot be made, cannot be
// written, or is on another file system.
bool aLaPapelera(const QString& ruta);
