// The move into Applications when it goes wrong: whatever fails, the running
// bundle is never lost and no half bundle is left to look installed.
#include "comun/comun.h"
#include "montaje.h"
#include "placement/colocacion.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using fallos::Montaje;
using pruebas::escribir;
using pruebas::leer;

namespace {

// Everything in a folder, one line per entry: its path, mode, and content or
// the text of the link.
std::string arbol(const QString& raiz) {
    QStringList entradas;
    QDirIterator it(raiz, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo i(it.next());
        struct stat st {};
        ::lstat(QFile::encodeName(i.filePath()).constData(), &st);
        QString e = i.filePath().mid(raiz.size()) + QStringLiteral(" %1 ").arg(st.st_mode, 0, 8);
        if (i.isSymLink()) {
            char texto[4096];
            const ssize_t n =
                ::readlink(QFile::encodeName(i.filePath()).constData(), texto, sizeof texto);
            e += QStringLiteral("-> ") + QString::fromLocal8Bit(texto, n < 0 ? 0 : n);
        } else if (i.isFile()) {
            e += QString::fromLatin1(
                QCryptographicHash::hash(leer(i.filePath()), QCryptographicHash::Sha1).toHex());
        } else {
            e += QStringLiteral("/");
        }
        entradas.append(e);
    }
    entradas.sort();
    return entradas.join('\n').toStdString();
}

struct Escena {
    QTemporaryDir t;
    Herramientas h;
    QString llamadas;

    Escena() {
        llamadas = r("llamadas");
        const QByteArray anotar = "#!/bin/sh\necho \"$0 $*\" >> '" + llamadas.toUtf8() + "'\n";
        h.xattr = r("herramientas/xattr");
        h.open = r("herramientas/open");
        escribir(h.xattr, anotar, true);
        escribir(h.open, anotar, true);
    }
    ~Escena() { fallos::desmontarBajo(t.path()); }
    QString r(const QString& relativa) const { return t.path() + "/" + relativa; }
    // A bundle big enough not to fit where the disk is full.
    void bundle(const QString& relativa, const QByteArray& marca) const {
        escribir(r(relativa) + "/Contents/MacOS/VARNO", marca, true);
        escribir(r(relativa) + "/Contents/Resources/grande", QByteArray(1024 * 1024, 'g'));
        QFile::link("../MacOS/VARNO", r(relativa) + "/Contents/Resources/enlace");
    }
    Colocacion colocacion(const QString& bundle) const {
        return {r(bundle), r("home"), {"VARNO"}, r("sistema/Applications"), r("Volumes"), h};
    }
    bool llamo() const { return QFileInfo::exists(llamadas); }
};

const QString descargas = QStringLiteral("home/Descargas/VARNO.app");

// The copy runs out of room after the older copy has been removed.
TEST(ColocacionFallida, DiscoLlenoTrasQuitarLaCopiaAnterior) {
    Escena e;
    e.bundle(descargas, "nuevo");
    ASSERT_TRUE(QDir().mkpath(e.r("sistema/Applications")));
    const Montaje lleno(e.r("sistema/Applications"), "tmpfs", "tmpfs", 0, "size=256k");
    MONTAR_O_SALTAR(lleno);
    escribir(e.r("sistema/Applications/VARNO.app/Contents/MacOS/VARNO"), "viejo", true);
    const std::string nuevo = arbol(e.r(descargas));
    const std::string viejo = arbol(e.r("sistema/Applications"));

    EXPECT_FALSE(moverAAplicaciones(e.colocacion(descargas)));
    EXPECT_EQ(arbol(e.r(descargas)), nuevo);
    EXPECT_FALSE(e.llamo());
    // The older copy is back as it was, and no half bundle is left.
    EXPECT_EQ(arbol(e.r("sistema/Applications")), viejo);
}

TEST(ColocacionFallida, DestinoDeSoloLectura) {
    struct Caso {
        const char* nombre;
        bool casaDeSoloLectura; // the Applications folder in home as well
        bool mueve;
    };
    const Caso casos[] = {
        {"el del sistema: va a home", false, true},
        {"los dos", true, false},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        Escena e;
        e.bundle(descargas, "nuevo");
        escribir(e.r("sistema/Applications/VARNO.app/Contents/MacOS/VARNO"), "viejo", true);
        ASSERT_TRUE(QDir().mkpath(e.r("home/Applications")));
        const std::string viejo = arbol(e.r("sistema/Applications"));
        const std::string nuevo = arbol(e.r(descargas));
        const Montaje sistema = Montaje::soloLectura(e.r("sistema/Applications"));
        MONTAR_O_SALTAR(sistema);
        std::optional<Montaje> casa;
        if (c.casaDeSoloLectura) {
            casa.emplace(Montaje::soloLectura(e.r("home/Applications")));
            MONTAR_O_SALTAR(*casa);
        }

        EXPECT_EQ(moverAAplicaciones(e.colocacion(descargas)), c.mueve);
        EXPECT_EQ(arbol(e.r("sistema/Applications")), viejo);
        EXPECT_EQ(e.llamo(), c.mueve);
        if (c.mueve) {
            EXPECT_EQ(arbol(e.r("home/Applications/VARNO.app")), nuevo);
        } else {
            EXPECT_EQ(arbol(e.r(descargas)), nuevo);
            EXPECT_TRUE(QDir(e.r("home/Applications")).isEmpty());
        }
    }
}

// The older copy cannot be removed whole (part of it is read-only): what is
// left under the bundle's name is a whole bundle, never a gutted one.
TEST(ColocacionFallida, CopiaAnteriorQueNoSePuedeQuitarEntera) {
    Escena e;
    e.bundle(descargas, "nuevo");
    e.bundle("sistema/Applications/VARNO.app", "viejo");
    const std::string nuevo = arbol(e.r(descargas));
    const Montaje recursos =
        Montaje::soloLectura(e.r("sistema/Applications/VARNO.app/Contents/Resources"));
    MONTAR_O_SALTAR(recursos);

    EXPECT_TRUE(moverAAplicaciones(e.colocacion(descargas)));
    EXPECT_EQ(arbol(e.r("sistema/Applications/VARNO.app")), nuevo);
}

// A link where the copy goes: to the running bundle it must not be followed
// into a removal; to anything else, only the link goes.
TEST(ColocacionFallida, EnlaceEnElDestino) {
    struct Caso {
        const char* nombre;
        const char* apunta; // nullptr: the running bundle
        bool mueve;
    };
    const Caso casos[] = {
        {"al bundle que corre", nullptr, false},
        {"a otra carpeta", "home/Documentos", true},
        {"a nada", "home/no-existe", true},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        Escena e;
        e.bundle(descargas, "nuevo");
        escribir(e.r("home/Documentos/tesis.txt"), "no se toca");
        const std::string nuevo = arbol(e.r(descargas));
        const std::string documentos = arbol(e.r("home/Documentos"));
        ASSERT_TRUE(QDir().mkpath(e.r("sistema/Applications")));
        ASSERT_TRUE(QFile::link(e.r(c.apunta ? c.apunta : descargas),
                                e.r("sistema/Applications/VARNO.app")));

        EXPECT_EQ(moverAAplicaciones(e.colocacion(descargas)), c.mueve);
        EXPECT_EQ(arbol(e.r("home/Documentos")), documentos);
        const QFileInfo destino(e.r("sistema/Applications/VARNO.app"));
        if (c.mueve) {
            EXPECT_FALSE(destino.isSymLink());
            EXPECT_EQ(arbol(destino.filePath()), nuevo);
        } else {
            EXPECT_EQ(arbol(e.r(descargas)), nuevo);
            EXPECT_TRUE(destino.isSymLink());
            EXPECT_FALSE(e.llamo());
        }
    }
}

} // namespace
