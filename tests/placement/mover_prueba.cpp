#include "comun/comun.h"
#include "placement/colocacion.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <array>
#include <gtest/gtest.h>

using pruebas::escribir;
using pruebas::leer;

namespace {

// Tools that write down every call, one line each: name and arguments
// separated by \x1f. The Dock they keep is a file that `defaults` prints and appends to.
struct Falsas {
    QTemporaryDir dir;
    Herramientas h;

    Falsas() {
        const QByteArray guion =
            "#!/bin/sh\ncd '" + dir.path().toUtf8() +
            "'\n{ basename \"$0\" | tr -d '\\n'; printf '\\037%s' \"$@\"; echo; } >> llamadas\n"
            "case $1 in read) cat dock ;; write) printf '%s\\n' \"$5\" >> dock ;; esac\n";
        h.xattr = dir.filePath("xattr");
        h.open = dir.filePath("open");
        h.defaults = dir.filePath("defaults");
        h.killall = dir.filePath("killall");
        for (const QString& ruta : {h.xattr, h.open, h.defaults, h.killall})
            escribir(ruta, guion, true);
    }
    QList<QStringList> llamadas() const {
        QList<QStringList> todas;
        for (const QString& l :
             QString::fromUtf8(leer(dir.filePath("llamadas"))).split('\n', Qt::SkipEmptyParts))
            todas.append(l.split('\x1f'));
        return todas;
    }
};

struct Escena {
    QTemporaryDir t;
    Falsas falsas;
    QString r(const QString& relativa) const { return t.path() + "/" + relativa; }
    void bundle(const QString& relativa, const QByteArray& contenido = "nuevo") const {
        escribir(r(relativa) + "/Contents/MacOS/VARNO", contenido, true);
    }
    Colocacion colocacion(const QString& bundle, const QStringList& argumentos = {}) const {
        return {
            r(bundle),    r("home"), QStringList{"VARNO"} + argumentos, r("sistema/Applications"),
            r("Volumes"), falsas.h};
    }
};

TEST(ColocacionMover, DondeVaYQueLlama) {
    struct Caso {
        const char* nombre;
        const char* bundle;
        QStringList argumentos;
        bool sistemaEscribible;
        const char* destino; // nullptr: nothing moved
        bool aLaPapelera;
        const char* volumen;
    };
    const char* sis = "sistema/Applications/VARNO.app";
    // clang-format off
    const Caso casos[] = {
        {"en Applications del sistema", "sistema/Applications/VARNO.app", {}, true, nullptr, false, nullptr},
        {"otro nombre en una subcarpeta", "sistema/Applications/Utiles/Otro.app", {}, true, nullptr, false, nullptr},
        {"en Applications de home", "home/Applications/VARNO.app", {}, true, nullptr, false, nullptr},
        {"--no-mover desde un volumen", "Volumes/Disco/VARNO.app", {"--no-mover"}, true, nullptr, false, nullptr},
        {"fuera de un bundle", "home/bin", {}, true, nullptr, false, nullptr},
        {"una carpeta Applications cualquiera", "home/Descargas/Applications/VARNO.app", {}, true, sis, true, nullptr},
        {"renombrado", "home/Descargas/VARNO 2.app", {}, true, sis, true, nullptr},
        {"desde un volumen", "Volumes/Disco/VARNO.app", {}, true, sis, false, "Volumes/Disco"},
        {"en la raíz de los volúmenes", "Volumes/VARNO.app", {}, true, sis, false, "Volumes/VARNO.app"},
        {"sistema sin permiso: a home", "home/Descargas/VARNO.app", {}, false, "home/Applications/VARNO.app", true, nullptr},
    };
    // clang-format on
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        Escena e;
        e.bundle(c.bundle);
        if (c.sistemaEscribible)
            QDir().mkpath(e.r("sistema/Applications"));
        EXPECT_EQ(moverAAplicaciones(e.colocacion(c.bundle, c.argumentos)), c.destino != nullptr);
        EXPECT_EQ(QFileInfo::exists(e.r(c.bundle)), !c.aLaPapelera);
        if (!c.destino) {
            EXPECT_TRUE(e.falsas.llamadas().isEmpty());
            continue;
        }
        const QString destino = e.r(c.destino);
        EXPECT_EQ(leer(destino + "/Contents/MacOS/VARNO"), "nuevo");
        EXPECT_TRUE(QFileInfo(destino + "/Contents/MacOS/VARNO").isExecutable());
        QStringList abrir{"open", "-n", destino};
        if (c.volumen)
            abrir << "--args"
                  << "--expulsar" << e.r(c.volumen);
        EXPECT_EQ(e.falsas.llamadas(),
                  (QList<QStringList>{{"xattr", "-dr", "com.apple.quarantine", destino}, abrir}));
    }
}

TEST(ColocacionMover, LaCopiaAnteriorSeReemplazaEnteraYLaNuevaEsFiel) {
    Escena e;
    e.bundle("sistema/Applications/VARNO.app", "viejo");
    escribir(e.r("sistema/Applications/VARNO.app/Contents/sobra.txt"), "x");
    e.bundle("home/Descargas/VARNO.app");
    escribir(e.r("home/Descargas/VARNO.app/Contents/Resources/.oculto"), "o");
    QDir().mkpath(e.r("home/Descargas/VARNO.app/Contents/vacia"));
    QFile::link("Resources/.oculto", e.r("home/Descargas/VARNO.app/Contents/enlace"));

    ASSERT_TRUE(moverAAplicaciones(e.colocacion("home/Descargas/VARNO.app")));
    const QString d = e.r("sistema/Applications/VARNO.app/Contents");
    EXPECT_FALSE(QFileInfo::exists(d + "/sobra.txt"));
    EXPECT_EQ(leer(d + "/MacOS/VARNO"), "nuevo");
    EXPECT_EQ(leer(d + "/Resources/.oculto"), "o");
    EXPECT_TRUE(QFileInfo(d + "/vacia").isDir());
    EXPECT_EQ(QFileInfo(d + "/enlace").symLinkTarget(), d + "/Resources/.oculto");
}

// Reached through another name, the destination is the running bundle itself:
// it must survive, and nothing is copied or started.
TEST(ColocacionMover, ElMismoBundleBajoOtroNombreNoSeBorra) {
    // The running bundle, a link and where it points, the path the bundle runs from.
    const std::array<const char*, 4> casos[] = {
        {"sistema/Applications/VARNO.app", "home/Enlace", "sistema/Applications",
         "home/Enlace/VARNO.app"},
        {"casa/Applications/VARNO.app", "home", "casa", "casa/Applications/VARNO.app"},
    };
    for (const auto& [real, enlace, apunta, corre] : casos) {
        SCOPED_TRACE(corre);
        Escena e;
        e.bundle(real);
        QDir().mkpath(QFileInfo(e.r(enlace)).absolutePath());
        ASSERT_TRUE(QFile::link(e.r(apunta), e.r(enlace)));
        EXPECT_FALSE(moverAAplicaciones(e.colocacion(corre)));
        EXPECT_EQ(leer(e.r(real) + "/Contents/MacOS/VARNO"), "nuevo");
        EXPECT_TRUE(e.falsas.llamadas().isEmpty());
    }
}

TEST(ColocacionMover, VolumenSinTercerComponente) {
    EXPECT_EQ(volumenDe("/Volumes/", "/Volumes"), std::nullopt);
    EXPECT_EQ(volumenDe("/volumes/Disco/VARNO.app", "/Volumes"), std::nullopt);
}

// The Dock reads the entry as XML and takes the text back as the URL.
TEST(ColocacionDock, UrlYEntrada) {
    EXPECT_EQ(entradaDelDock("/Applications/VARNO.app"),
              "<dict><key>tile-data</key><dict><key>file-data</key><dict><key>_CFURLString</key>"
              "<string>file:///Applications/VARNO.app/</string><key>_CFURLStringType</key>"
              "<integer>15</integer></dict></dict></dict>");
    const std::pair<const char*, const char*> casos[] = {
        {"/Users/a b/Applications/VARNO.app/", "file:///Users/a%20b/Applications/VARNO.app/"},
        {"/x/Año/a&b+c=d@e/VARNO.app", "file:///x/A%C3%B1o/a&b+c=d@e/VARNO.app/"},
        {"/x/100%/#?<>\"/VARNO.app", "file:///x/100%25/%23%3F%3C%3E%22/VARNO.app/"},
    };
    for (const auto& [ruta, url] : casos) {
        SCOPED_TRACE(ruta);
        EXPECT_EQ(urlDeCarpeta(ruta), url);
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

TEST(ColocacionDock, SeFijaUnaSolaVez) {
    const QString bundle = "/Users/a/Applications/VARNO.app";
    const QStringList leerDock{"defaults", "read", "com.apple.dock", "persistent-apps"};
    const QStringList escribirDock{"defaults",        "write",      "com.apple.dock",
                                   "persistent-apps", "-array-add", entradaDelDock(bundle)};
    struct Caso {
        const char* nombre;
        QByteArray dock;
        int veces;
        QList<QStringList> llamadas;
    };
    const QStringList reinicio{"killall", "Dock"};
    // clang-format off
    const Caso casos[] = {
        {"ya fijado, aunque en otro sitio", "\"_CFURLString\" = \"file:///Otro/VARNO.app/\";", 1, {leerDock}},
        {"sin fijar", "\"_CFURLString\" = \"file:///Applications/Otra.app/\";", 1, {leerDock, escribirDock, reinicio}},
        {"dos veces seguidas", "", 2, {leerDock, escribirDock, reinicio, leerDock}},
    };
    // clang-format on
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        Falsas f;
        escribir(f.dir.filePath("dock"), c.dock);
        for (int i = 0; i < c.veces; ++i)
            ponerEnElDock(bundle, f.h);
        EXPECT_EQ(f.llamadas(), c.llamadas);
    }
}

} // namespace
