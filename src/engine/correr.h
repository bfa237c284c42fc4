#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Runs a tool by its absolute path (no shell, no PATH lookup) and returns what
// it wrote to standard output, decoded as UTF-8 with U+FFFD for bad bytes.
// Standard error is discarded. Any failure gives the empty text.
QString correr(const QString& ejecutable, const QStringList& argumentos);

// The line of a log that best tells why something failed: the last one that
// mentions "Error" or "error", else the last line; blank lines and "---"
// separators do not count. Cut to 160 user-perceived characters and "…".
std::optional<QString> ultimaLinea(const QString& ruta);

// The same choice on text already read.
std::optional<QString> lineaQueCuenta(const QString& texto);
