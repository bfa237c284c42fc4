#pragma once

#include "base/globales.h"

#include <QProcessEnvironment>
#include <QStringList>
#include <optional>

// The engine's health address, on the loopback interface only.
inline constexpr char URL_SALUD[] = "http://127.0.0.1:8770/api/hola";

// curl's own limit bounds one probe to 1.5 seconds.
QStringList argumentosSonda();

// What the engine itself prints (an import error before its own log opens)
// goes to this file beside its log, each start's lines after the last.
QString salidaDelMotor(const Globales& g);

// The user's environment made the engine's: without what would make another
// Python, another `motor` or the user's own packages run, and with VARNO_APP
// naming this bundle.
QProcessEnvironment entornoDelMotor(const QProcessEnvironment& usuario, const QString& bundle);

// One probe of the health address. The engine answers when the answer
// mentions "version" and the program that gave it is this user's.
enum class Sonda { callada, motor, ajeno };
Sonda sondear(const Globales& g);
bool responde(const Globales& g);

// Starts the engine detached, so it outlives this program; its process id, or
// nothing when it could not be started.
std::optional<qint64> abrirVARNO(const Globales& g);

// The log that tells why the engine did not open, and its telling line: the
// engine's own log, or what the engine printed at its latest start when that
// log says nothing.
struct RegistroMotor {
    QString ruta;
    std::optional<QString> linea;
};
RegistroMotor registroDelMotor(const Globales& g);
