#pragma once

#include <QString>
#include <system_error>

// Copies a folder with everything in it: links stay links, modes are kept.
// `hacia` must not exist yet. The system's error for the step that failed.
std::error_code copiarArbol(const QString& desde, const QString& hacia);

// What the system said, in the words it uses in Spanish.
QString motivoDelSistema(const std::error_code& e);
