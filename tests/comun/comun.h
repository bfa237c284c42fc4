#pragma once

#include "base/globales.h"

// What the tests use of Qt, of the C++ and POSIX libraries and of GoogleTest, in one place.
#include <QtNetwork>
#include <QtWidgets>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <list>
#include <memory>
#include <unistd.h>

namespace pruebas {

// The bundle the build made.
inline QString bundle() {
    return QStringLiteral(VARNO_BUNDLE_PRUEBA);
}
inline QString ejecutable() {
    return bundle() + QStringLiteral("/Contents/MacOS/VARNO");
}

// Writes `contenido` to `ruta`, creating folders; `ejecutable` sets the mode 0755.
void escribir(const QString& ruta, const QByteArray& contenido, bool ejecutable = false);
QByteArray leer(const QString& ruta);

// Runs the event loop until `listo` holds or `limite` passes; whether it held.
bool esperarHasta(const std::function<bool()>& listo,
                  std::chrono::milliseconds limite = std::chrono::seconds(20));

// On 127.0.0.1:8770 in the engine's place: answers each request with `respuesta` after `retraso`.
struct Puerto : QTcpServer {
    explicit Puerto(const QByteArray& respuesta, std::chrono::milliseconds retraso = {});
};
// An HTTP answer with this status and body.
QByteArray http(int estado, const QByteArray& cuerpo = R"({"version": "1.0.0"})");

// Sends a key to the widget with the focus, or to `w`'s window when none has it.
void tecla(QWidget* w, int clave);
// Answers each question that shows, with a key or by its button's title, while `reloj` lives.
void responder(QTimer& reloj, const QVariant& respuesta);

// The window's view named `nombre`.
template <typename T> T* vista(QWidget* ventana, const char* nombre) {
    T* v = ventana ? ventana->findChild<T*>(QLatin1String(nombre)) : nullptr;
    EXPECT_TRUE(v) << nombre;
    return v;
}

// A home folder of its own, with the program's paths inside it.
struct Casa {
    QTemporaryDir dir;
    QString home() const { return dir.path(); }
    // The bundle, by default, is beside the home folder: in no Applications folder.
    Globales globales(const QString& version = QStringLiteral("1.0.0"),
                      const QString& bundle = {}) const;
};

} // namespace pruebas
