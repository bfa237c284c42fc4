#pragma once

#include <QByteArrayView>
#include <QString>
#include <chrono>

// The engine's port on the loopback interface.
inline constexpr quint16 PUERTO_MOTOR = 8770;

// Whose program listens where the probe knocks: nobody's (or it cannot be
// told), the user's own, or another user's.
enum class Dueno { nadie, nuestro, ajeno };

// From the text of /proc/net/tcp and /proc/net/tcp6 (either, or both run
// together): the sockets listening on the port at an address that takes a
// connection to 127.0.0.1 (127.0.0.1, any address, ::ffff:127.0.0.1). One of
// another user among them is enough for `ajeno`.
Dueno duenoEnTabla(QByteArrayView tabla, uint uid, quint16 puerto = PUERTO_MOTOR);

// Asks lsof whether this user listens on the port; it is asked only once
// something answered there, so "not this user" means another one. A lsof that
// fails, or takes longer than `limite`, tells nothing.
Dueno duenoSegunLsof(const QString& lsof, uint uid, std::chrono::milliseconds limite,
                     quint16 puerto = PUERTO_MOTOR);

// Who holds the engine's port now, for the user running this program: through
// /proc on Linux, through /usr/sbin/lsof on macOS.
Dueno duenoDelPuerto();
