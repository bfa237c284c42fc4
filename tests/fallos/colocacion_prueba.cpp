#include "banco.h"
#include "placement/colocacion.h"

namespace {

// Everything below a folder: each entry's path, type, mode and link text, and each file's sum.
std::string arbol(const QString& raiz) {
    QProcess p;
    p.start("/bin/sh", {"-c",
                        "cd \"$1\" && find . -printf '%p %y %m %l\\n' | sort && find . -type f "
                        "-exec sha1sum {} + | sort",
                        "sh", raiz});
    p.waitForFinished();
    return p.readAllStandardOutput().toStdString();
}

// The move into Applications: whatever fails, the running bundle is never lost, nothing a
// link points to is touched, and no half bundle is left to look installed.
TEST(Colocacion, DondeVaYQueNadaSePierda) {
    const QString sis = "sistema/Applications/VARNO.app", casa = "home/Applications/VARNO.app",
                  bajado = "home/Descargas/VARNO.app";
    const struct {
        const char* nombre;
        QString destino;             // empty: nothing moves and nothing at all changes
        QString fuente;              // the new bundle, which runs unless `corre` says otherwise
        bool anterior;               // an older copy in the system folder
        QStringList solo = {};       // read-only folders
        const char* lleno = nullptr; // a folder on a disk with room for one copy only
        QString enlace = {}, apunta = {}, corre = {};
    } casos[] = {
        // clang-format off
        {"renombrado, sobre una copia anterior", sis, "home/Descargas/VARNO 2.app", true},
        {"desde un volumen, que se expulsa", sis, "Volumes/Disco/VARNO.app", false},
        {"ya en Applications de home", {}, casa, false},
        {"disco lleno tras apartar la copia anterior", {}, bajado, true, {}, "sistema/Applications"},
        {"Applications del sistema de solo lectura", casa, bajado, true, {"sistema/Applications"}},
        {"los dos destinos de solo lectura", {}, bajado, true, {"sistema/Applications", "home/Applications"}},
        {"una copia anterior que no se puede quitar entera", sis, bajado, true,
         {sis + "/Contents/Resources"}},
        {"en el destino, un enlace al bundle que corre", {}, bajado, false, {}, nullptr, sis, bajado},
        {"el bundle corre a través de un enlace", {}, bajado, true, {}, nullptr, "home/Enlace",
         "sistema/Applications", "home/Enlace/VARNO.app"},
        {"en el destino, un enlace a otra carpeta", sis, bajado, false, {}, nullptr, sis, "home/Documentos"},
        // clang-format on
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        QTemporaryDir t;
        const auto r = [&](const QString& relativa) { return t.path() + "/" + relativa; };
        // A disk of its own, so that detaching it detaches every mount below.
        std::list<fallos::Montaje> m;
        if (m.emplace_back(t.path(), QString(), 0, "size=64m").error &&
            (c.lleno || !c.solo.isEmpty()))
            continue; // no mounting here
        // Tools that note every call, one line each: name and arguments after "|".
        const Herramientas h{.xattr = r("xattr"), .open = r("open")};
        for (const QString& herramienta : {h.xattr, h.open})
            pruebas::escribir(herramienta,
                              "#!/bin/sh\n{ printf %s \"${0##*/}\"; printf '|%s' \"$@\"; echo; } "
                              ">> \"${0%/*}/llamadas\"\n",
                              true);
        // Too big for a full disk; with a hidden file, an empty folder and a relative link.
        const auto bundle = [&](const QString& b, const QByteArray& marca) {
            pruebas::escribir(r(b) + "/Contents/MacOS/VARNO", marca, true);
            pruebas::escribir(r(b) + "/Contents/Resources/.grande", QByteArray(1 << 20, 'g'));
            QDir().mkpath(r(b) + "/Contents/vacia");
            QFile::link("../MacOS/VARNO", r(b) + "/Contents/Resources/enlace");
        };
        bundle(c.fuente, "nuevo");
        pruebas::escribir(r("home/Documentos/tesis.txt"), "no se toca");
        QDir().mkpath(r("home/Applications"));
        QDir().mkpath(r("sistema/Applications"));
        if (c.lleno)
            m.emplace_back(r(c.lleno), QString(), 0, "size=1536k");
        if (c.anterior) {
            bundle(sis, "viejo");
            pruebas::escribir(r(sis) + "/Contents/sobra", "viejo");
        }
        if (!c.enlace.isEmpty())
            ASSERT_TRUE(QFile::link(r(c.apunta), r(c.enlace)));
        for (const QString& carpeta : c.solo)
            m.emplace_back(r(carpeta), r(carpeta), MS_RDONLY);
        for (const auto& x : m)
            ASSERT_EQ(x.error, 0) << std::strerror(x.error);
        const std::string antes = arbol(t.path()), nuevo = arbol(r(c.fuente)),
                          documentos = arbol(r("home/Documentos"));

        const QString corre = r(c.corre.isEmpty() ? c.fuente : c.corre), d = r(c.destino);
        EXPECT_EQ(moverAAplicaciones(
                      {corre, r("home"), {"VARNO"}, r("sistema/Applications"), r("Volumes"), h}),
                  !c.destino.isEmpty());
        if (c.destino.isEmpty()) {
            EXPECT_EQ(arbol(t.path()), antes);
            continue;
        }
        // A whole copy, started with the quarantine lifted; the disk it came from is ejected.
        const bool volumen = c.fuente.startsWith("Volumes/");
        EXPECT_EQ(arbol(d), nuevo);
        EXPECT_EQ(arbol(r("home/Documentos")), documentos);
        EXPECT_EQ(QFileInfo::exists(corre), volumen);
        EXPECT_EQ(QString(pruebas::leer(r("llamadas"))),
                  "xattr|-dr|com.apple.quarantine|" + d + "\nopen|-n|" + d +
                      (volumen ? "|--args|--expulsar|" + r("Volumes/Disco") : "") + "\n");
    }
}

} // namespace
