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

// Whatever fails, the running bundle is never lost and nothing a link points to is touched.
TEST(Colocacion, DondeVaYQueNadaSePierda) {
    const QString sis = "sistema/Applications/VARNO.app", casa = "home/Applications/VARNO.app",
                  bajado = "home/Descargas/VARNO.app";
    const struct {
        const char* nombre;
        QString destino;             // empty: nothing moves and nothing at all changes
        QString fuente;              // the new bundle, which runs unless `corre` says otherwise
        bool anterior;               // an older copy in the system folder
        const char* falla;           // why the move, tried, failed, as the one line says
        QStringList solo = {};       // read-only folders
        const char* lleno = nullptr; // a folder on a disk with room for one copy only
        QString enlace = {}, apunta = {}, corre = {};
        bool abreMal = false; // the new copy does not start
        bool cortada = false; // an earlier move was cut short: the older copy is still set aside
    } casos[] = {
        // clang-format off
        {"renombrado, sobre una copia anterior", sis, "home/Descargas/VARNO 2.app", true, ""},
        {"desde una imagen de disco, que se expulsa", sis, "Volumes/Disco/VARNO.app", false, ""},
        {"desde un disco cuyo nombre empieza como la imagen", sis, "Volumes/Disco 2/VARNO.app", false, ""},
        {"ya en Applications de home", {}, casa, false, ""},
        {"disco lleno tras apartar la copia anterior", {}, bajado, true, "no queda espacio en el disco", {},
         "sistema/Applications"},
        {"Applications del sistema de solo lectura", casa, bajado, true, "", {"sistema/Applications"}},
        {"los dos destinos de solo lectura", {}, bajado, true, "no deja escribir en ninguna de las dos",
         {"sistema/Applications", "home/Applications"}},
        {"una copia anterior que no se puede quitar entera", sis, bajado, true, "", {sis + "/Contents/Resources"}},
        {"una copia anterior que no se puede apartar", {}, bajado, true, "no se pudo apartar la copia anterior", {sis}},
        {"en el destino, un enlace al bundle que corre", {}, bajado, false, "", {}, nullptr, sis, bajado},
        {"el bundle corre a través de un enlace", {}, bajado, true, "", {}, nullptr, "home/Enlace",
         "sistema/Applications", "home/Enlace/VARNO.app"},
        {"en el destino, un enlace a otra carpeta", sis, bajado, false, "", {}, nullptr, sis, "home/Documentos"},
        {"una mudanza cortada, y la copia no arranca", {}, bajado, true, "la copia no arrancó", {}, nullptr,
         {}, {}, {}, true, true},
        {"una mudanza cortada a medias", sis, bajado, true, "", {}, nullptr, {}, {}, {}, false, true},
        {"el bundle ya no está donde corría", {}, bajado, false, "no existe el archivo o la carpeta", {}, nullptr,
         {}, {}, "home/Descargas/Borrado.app"},
        // clang-format on
    };
    QStringList omitidos;
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        QTemporaryDir t;
        const auto r = [&](const QString& relativa) { return t.path() + "/" + relativa; };
        // A disk of its own, so that detaching it detaches every mount below.
        std::list<fallos::Montaje> m;
        if (m.emplace_back(t.path(), QString(), 0, "size=64m").error &&
            (c.lleno || !c.solo.isEmpty())) {
            omitidos << c.nombre;
            continue;
        }
        // Tools that note each call as a line "name|arguments"; only Volumes/Disco is a mounted
        // image (the other is a path that an image came from).
        Herramientas h;
        h.xattr = r("xattr"), h.open = r("open"), h.hdiutil = r("hdiutil");
        for (const QString& herramienta : {h.xattr, h.open, h.hdiutil})
            pruebas::escribir(
                herramienta,
                "#!/bin/sh\nIFS='|'; echo \"${0##*/}|$*\" >> \"${0%/*}/llamadas\"\n"
                "[ \"${0##*/}\" != hdiutil ] || printf '<plist><dict><key>images</key>"
                "<array><dict><key>image-path</key><string>%s/Volumes/Disco 2</string>"
                "<key>system-entities</key><array><dict><key>mount-point</key>"
                "<string>%s/Volumes/Disco</string></dict></array></dict></array>"
                "</dict></plist>' \"${0%/*}\" \"${0%/*}\"\n" +
                    QByteArray(c.abreMal && herramienta == h.open ? "exit 1\n" : ""),
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
        ASSERT_TRUE(c.enlace.isEmpty() || QFile::link(r(c.apunta), r(c.enlace)));
        for (const QString& carpeta : c.solo)
            m.emplace_back(r(carpeta), r(carpeta), MS_RDONLY);
        for (const auto& x : m)
            ASSERT_EQ(x.error, 0) << std::strerror(x.error);
        const std::string antes = arbol(t.path()), nuevo = arbol(r(c.fuente)),
                          documentos = arbol(r("home/Documentos"));
        if (c.cortada) { // set aside, and a copy half made, when the run was killed
            ASSERT_TRUE(QDir().rename(r(sis), r("sistema/Applications/.VARNO.app-anterior")));
            pruebas::escribir(r("sistema/Applications/.VARNO.app-nueva/Contents/MacOS/VARNO"),
                              "a medias");
        }

        const QString corre = r(c.corre.isEmpty() ? c.fuente : c.corre), d = r(c.destino);
        const Resultado<bool> mudanza = moverAAplicaciones(
            {corre, r("home"), false, r("sistema/Applications"), r("Volumes"), h});
        EXPECT_EQ(mudanza.bien() && mudanza.valor(), !c.destino.isEmpty());
        EXPECT_EQ(mudanza.motivo().toStdString(),
                  *c.falla ? QString("No se pudo copiar VARNO a Aplicaciones (%1); sigue abierto "
                                     "desde donde está.")
                                 .arg(c.falla)
                                 .toStdString()
                           : "");
        const QString llamadas = pruebas::leer(r("llamadas"));
        QFile::remove(r("llamadas")); // not part of the tree compared
        for (const char* carpeta : {"sistema/Applications", "home/Applications"})
            EXPECT_EQ(
                QDir(r(carpeta)).entryList({".VARNO.app-nueva"}, QDir::AllEntries | QDir::Hidden),
                QStringList());
        if (c.destino.isEmpty()) {
            EXPECT_EQ(arbol(t.path()), antes);
            continue;
        }
        // A whole copy, started with the quarantine lifted; only a disk image is ejected.
        const bool volumen = c.fuente.startsWith("Volumes/"),
                   imagen = c.fuente.startsWith("Volumes/Disco/");
        EXPECT_EQ(arbol(d), nuevo);
        EXPECT_EQ(arbol(r("home/Documentos")), documentos);
        EXPECT_EQ(QFileInfo::exists(corre), volumen);
        EXPECT_EQ(llamadas, "xattr|-dr|com.apple.quarantine|" + d + "\n" +
                                (volumen ? "hdiutil|info|-plist\n" : "") + "open|-n|" + d +
                                (imagen ? "|--args|--expulsar|" + r("Volumes/Disco") : "") + "\n");
    }
    if (!omitidos.isEmpty())
        GTEST_SKIP() << "no se puede montar aquí; sin probar: "
                     << omitidos.join(", ").toStdString();
}

} // namespace
