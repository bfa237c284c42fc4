// The move into Applications when it goes wrong: whatever fails, the running
// bundle is never lost and no half bundle is left to look installed.
#include "comun/comun.h"
#include "montaje.h"
#include "placement/colocacion.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

using fallos::Montaje;
using pruebas::escribir;

namespace {

// Everything below a folder: each entry's path, type, mode and link text, and each file's sum.
std::string arbol(const QString& raiz) {
    QProcess p;
    p.start("/bin/sh", {"-c",
                        "cd \"$1\" && find . -printf '%p %y %m %l\\n' | sort && "
                        "find . -type f -exec sha1sum {} + | sort",
                        "sh", raiz});
    p.waitForFinished();
    return p.readAllStandardOutput().toStdString();
}

const QString descargas = QStringLiteral("home/Descargas/VARNO.app");
const QString sistema = QStringLiteral("sistema/Applications/VARNO.app");

// A move that cannot be made changes nothing at all: the running bundle and an
// older copy stay as they were, nothing is started, nothing half-made is left.
// One that can leaves a whole copy and touches nothing a link points to.
TEST(ColocacionFallida, NadaSePierde) {
    struct Caso {
        const char* nombre;
        bool mueve;
        bool anterior;     // an older copy in the system folder
        const char* lleno; // a folder on a disk with room for one copy only
        QStringList soloLectura;
        QString enlace, apunta; // a link made at `enlace`
        QString corre = descargas;
    };
    // clang-format off
    const Caso casos[] = {
        {"disco lleno tras apartar la copia anterior", false, true, "sistema/Applications", {}},
        {"los dos destinos de solo lectura", false, true, nullptr, {"sistema/Applications", "home/Applications"}},
        {"en el destino, un enlace al bundle que corre", false, false, nullptr, {}, sistema, descargas},
        {"el bundle corre a través de un enlace", false, true, nullptr, {}, "home/Enlace", "sistema/Applications", "home/Enlace/VARNO.app"},
        {"en el destino, un enlace a otra carpeta", true, false, nullptr, {}, sistema, "home/Documentos"},
        {"en el destino, un enlace a nada", true, false, nullptr, {}, sistema, "home/no-existe"},
        {"una copia anterior que no se puede quitar entera", true, true, nullptr, {sistema + "/Contents/Resources"}},
    };
    // clang-format on
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        QTemporaryDir t;
        const auto r = [&](const QString& relativa) { return t.path() + "/" + relativa; };
        const auto desmontar = qScopeGuard([&] { fallos::desmontarBajo(t.path()); });
        Herramientas h;
        h.xattr = h.open = r("anotar"); // leaves a trace of being run
        escribir(h.open, "#!/bin/sh\ntouch \"$0.hecho\"\n", true);
        // Too big for a full disk; with a hidden file, an empty folder and a relative link.
        const auto bundle = [&](const QString& b, const QByteArray& marca) {
            escribir(r(b) + "/Contents/MacOS/VARNO", marca, true);
            escribir(r(b) + "/Contents/Resources/.grande", QByteArray(1024 * 1024, 'g'));
            QDir().mkpath(r(b) + "/Contents/vacia");
            QFile::link("../MacOS/VARNO", r(b) + "/Contents/Resources/enlace");
        };
        bundle(descargas, "nuevo");
        escribir(r("home/Documentos/tesis.txt"), "no se toca");
        QDir().mkpath(r("home/Applications"));
        QDir().mkpath(r("sistema/Applications"));
        std::vector<Montaje> montajes;
        if (c.lleno)
            montajes.emplace_back(r(c.lleno), "tmpfs", "tmpfs", 0, "size=1536k");
        if (c.anterior) {
            bundle(sistema, "viejo");
            escribir(r(sistema) + "/Contents/sobra", "viejo");
        }
        if (!c.enlace.isEmpty())
            ASSERT_TRUE(QFile::link(r(c.apunta), r(c.enlace)));
        for (const QString& carpeta : c.soloLectura)
            montajes.push_back(Montaje::soloLectura(r(carpeta)));
        for (const Montaje& m : montajes)
            MONTAR_O_SALTAR(m);
        const std::string antes = arbol(t.path()), nuevo = arbol(r(descargas)),
                          documentos = arbol(r("home/Documentos"));

        EXPECT_EQ(
            moverAAplicaciones(
                {r(c.corre), r("home"), {"VARNO"}, r("sistema/Applications"), r("Volumes"), h}),
            c.mueve);
        if (c.mueve) {
            EXPECT_EQ(arbol(r(sistema)), nuevo);
            EXPECT_EQ(arbol(r("home/Documentos")), documentos);
        } else {
            EXPECT_EQ(arbol(t.path()), antes);
        }
    }
}

} // namespace
