#include "comun/comun.h"
#include "placement/colocacion.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using pruebas::escribir;
using pruebas::leer;

namespace {

TEST(ColocacionMover, DondeVaYQueLlama) {
    struct Caso {
        const char* nombre;
        const char* bundle;
        QStringList argumentos;
        const char* destino; // nullptr: nothing moved; in home: the system folder is missing
        const char* volumen; // nullptr: the source goes to the Trash
    };
    const char* sis = "sistema/Applications/VARNO.app";
    // clang-format off
    const Caso casos[] = {
        {"otro nombre en una subcarpeta del sistema", "sistema/Applications/Utiles/Otro.app", {}, nullptr, nullptr},
        {"en Applications de home", "home/Applications/VARNO.app", {}, nullptr, nullptr},
        {"--no-mover desde un volumen", "Volumes/Disco/VARNO.app", {"--no-mover"}, nullptr, nullptr},
        {"fuera de un bundle", "home/bin", {}, nullptr, nullptr},
        {"una carpeta Applications cualquiera", "home/Descargas/Applications/VARNO.app", {}, sis, nullptr},
        {"renombrado", "home/Descargas/VARNO 2.app", {}, sis, nullptr},
        {"desde un volumen", "Volumes/Disco/VARNO.app", {}, sis, "Volumes/Disco"},
        {"en la raíz de los volúmenes", "Volumes/VARNO.app", {}, sis, "Volumes/VARNO.app"},
        {"volumes en minúsculas no es un volumen", "volumes/Disco/VARNO.app", {}, sis, nullptr},
        {"sistema sin permiso: a home", "home/Descargas/VARNO.app", {}, "home/Applications/VARNO.app", nullptr},
    };
    // clang-format on
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        QTemporaryDir t;
        const auto r = [&](const QString& relativa) { return t.path() + "/" + relativa; };
        // Tools that note every call, one line each: name and arguments after "|".
        Herramientas h;
        h.xattr = r("xattr");
        h.open = r("open");
        const QByteArray guion = "#!/bin/sh\n{ printf %s \"${0##*/}\"; printf '|%s' \"$@\"; echo; "
                                 "} >> \"${0%/*}/llamadas\"\n";
        escribir(h.xattr, guion, true);
        escribir(h.open, guion, true);
        const auto llamadas = [&] { return QString::fromUtf8(leer(r("llamadas"))); };
        escribir(r(c.bundle) + "/Contents/MacOS/VARNO", "nuevo", true);
        // An older copy, with a file the new one does not have.
        if (!QString(c.destino).startsWith("home"))
            escribir(r(sis) + "/Contents/sobra", "viejo");
        EXPECT_EQ(moverAAplicaciones({r(c.bundle), r("home"), QStringList{"VARNO"} + c.argumentos,
                                      r("sistema/Applications"), r("Volumes"), h}),
                  c.destino != nullptr);
        EXPECT_EQ(QFileInfo::exists(r(c.bundle)), !c.destino || c.volumen);
        if (!c.destino) {
            EXPECT_EQ(llamadas(), "");
            continue;
        }
        const QString destino = r(c.destino);
        EXPECT_EQ(leer(destino + "/Contents/MacOS/VARNO"), "nuevo");
        EXPECT_FALSE(QFileInfo::exists(destino + "/Contents/sobra"));
        const QString volumen = c.volumen ? "|--args|--expulsar|" + r(c.volumen) : "";
        EXPECT_EQ(llamadas(), "xattr|-dr|com.apple.quarantine|" + destino + "\nopen|-n|" + destino +
                                  volumen + "\n");
    }
}

// The Dock reads the entry as XML and takes the text back as the URL.
TEST(ColocacionDock, UrlYEntrada) {
    const std::pair<const char*, const char*> casos[] = {
        {"/Users/a b/Applications/VARNO.app/", "file:///Users/a%20b/Applications/VARNO.app/"},
        {"/x/Año/a&b+c=d@e/VARNO.app", "file:///x/A%C3%B1o/a&b+c=d@e/VARNO.app/"},
        {"/x/100%/#?<>\"/VARNO.app", "file:///x/100%25/%23%3F%3C%3E%22/VARNO.app/"},
    };
    for (const auto& [ruta, url] : casos) {
        SCOPED_TRACE(ruta);
        QXmlStreamReader xml(entradaDelDock(ruta));
        QString texto;
        while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
            if (xml.isStartElement() && xml.name() == u"string")
                texto = xml.readElementText();
        }
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        EXPECT_EQ(texto, url);
    }
}

} // namespace
