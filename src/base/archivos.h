#pragma once

#include <QByteArray>
#include <QString>

#include "base/resultado.h"

// Whether anything lies at `ruta`: a link counts, even one that leads nowhere.
bool hayAlgo(const QString& ruta);

// Writes `bytes` as the file `ruta`, replacing any earlier one in one step.
// When it cannot be replaced (a folder that takes no new file, a full disk),
// it is rewritten in place: the earlier content never stays beside the new.
Resultado<> escribirEntero(const QString& ruta, const QByteArray& bytes);
