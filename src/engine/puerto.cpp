#include "engine/puerto.h"

#include "base/proceso.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <unistd.h>

using namespace std::chrono_literals;

Dueno duenoEnTabla(QByteArrayView tabla, uint uid, quint16 puerto) {
    // Addresses as the kernel prints them: each 32-bit word in host order
    // (little-endian here), then the port in hex.
    static const QByteArrayView todas[] = {"0100007F", "00000000",
                                           "00000000000000000000000000000000",
                                           "0000000000000000FFFF00000100007F"};
    const QByteArray puertoHex = QByteArray::number(puerto, 16).toUpper().rightJustified(4, '0');
    bool nuestro = false;
    for (const QByteArray& linea : tabla.toByteArray().split('\n')) {
        // sl local_address rem_address st tx:rx tr:when retrnsmt uid ...
        const QList<QByteArray> campos = linea.simplified().split(' ');
        if (campos.size() < 8 || campos[3] != "0A") // 0A: listening
            continue;
        const QList<QByteArray> local = campos[1].split(':');
        if (local.size() != 2 || local[1] != puertoHex ||
            std::find(std::begin(todas), std::end(todas), QByteArrayView(local[0])) ==
                std::end(todas))
            continue;
        // The kernel writes the owner in plain decimal.
        if (campos[7] != QByteArray::number(uid))
            return Dueno::ajeno;
        nuestro = true;
    }
    return nuestro ? Dueno::nuestro : Dueno::nadie;
}

Dueno duenoSegunLsof(const QString& lsof, uint uid, std::chrono::milliseconds limite,
                     quint16 puerto) {
    // -a: every condition at once; -t: process ids only; -w, -n, -P: no
    // warnings, no name lookups. Its complaints are read with its output.
    const Corrida c = correr(lsof,
                             {QStringLiteral("-w"), QStringLiteral("-n"), QStringLiteral("-P"),
                              QStringLiteral("-t"), QStringLiteral("-a"), QStringLiteral("-u"),
                              QString::number(uid), QStringLiteral("-iTCP:%1").arg(puerto),
                              QStringLiteral("-sTCP:LISTEN")},
                             {.limite = limite, .conErrores = true});
    const bool dijo = !c.salida.trimmed().isEmpty();
    // Found: status 0 with ids. Nothing of ours: status 1, quietly.
    if (c.estado == 0 && dijo)
        return Dueno::nuestro;
    if (c.estado == 1 && !dijo)
        return Dueno::ajeno;
    return Dueno::nadie;
}

Dueno duenoDelPuerto() {
#if defined(Q_OS_MACOS)
    return duenoSegunLsof(QStringLiteral("/usr/sbin/lsof"), ::getuid(), 5s);
#else
    QByteArray tabla;
    for (const char* ruta : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile f(QString::fromLatin1(ruta));
        if (f.open(QIODevice::ReadOnly))
            tabla += f.readAll() + '\n';
    }
    return duenoEnTabla(tabla, ::getuid());
#endif
}
