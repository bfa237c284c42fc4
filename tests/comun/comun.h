#pragma once

#include "base/globales.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>

namespace pruebas {

// The bundle the build made, and the test data folder.
QString bundle();
QString ejecutable();
QString datos(const QString& nombre);

// Writes `contenido` to `ruta`, creating folders; `ejecutable` sets the mode 0755.
void escribir(const QString& ruta, const QByteArray& contenido, bool ejecutable = false);
QByteArray leer(const QString& ruta);

// Runs the event loop until `listo` holds or `limite` passes; whether it held.
bool esperarHasta(const std::function<bool()>& listo,
                  std::chrono::milliseconds limite = std::chrono::seconds(20));

// A home folder of its own, with the program's paths inside it.
struct Casa {
    QTemporaryDir dir;
    QString home() const { return dir.path(); }
    Globales globales(const QString& version = QStringLiteral("1.0.0")) const;
};

} // namespace pruebas
