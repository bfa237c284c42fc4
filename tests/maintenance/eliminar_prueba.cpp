#include "fallos/banco.h"
#include "maintenance/mantenimiento.h"

#include <optional>

void PrintTo(const QString& s, std::ostream* o) {
    *o << s.toStdString();
}

namespace {

// Every entry below a folder, links not followed: path, and a file's size or a link's text.
QStringList arbol(const QString& raiz) {
    QStringList l;
    for (QDirIterator i(raiz, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
         i.hasNext();) {
        const QFileInfo f(i.next());
        l << QDir(raiz).relativeFilePath(f.filePath()) + ' ' +
                 (f.isSymLink() ? f.symLinkTarget() : QString::number(f.isDir() ? 0 : f.size()));
    }
    l.sort();
    return l;
}

// A whole runtime beside the user's things: a 1 MB file with a second name, ffmpeg a link to
// 4 MB outside, the engine's 4 MB working folder.
void instalarMotor(const QString& datos, const QString& fuera) {
    const QByteArray mega(1 << 20, 'x');
    for (const char* r : {"instalado.txt", "entorno.RECORD", ".pasos/python", "descargas/b.parcial",
                          ".tmp.a1/f", "app.viejo/f", "instalacion.log", "mesa.log"})
        pruebas::escribir(datos + '/' + r, "1.0.0\n");
    pruebas::escribir(datos + "/python/lib/grande", mega);
    QFile::link(datos + "/python/lib/grande", datos + "/python/lib/otro-nombre");
    ::link(QFile::encodeName(datos + "/python/lib/grande"),
           QFile::encodeName(datos + "/python/lib/mismo"));
    pruebas::escribir(fuera, mega + mega + mega + mega);
    pruebas::escribir(datos + "/app/trabajo", mega + mega + mega + mega);
    QDir().mkpath(datos + "/bin");
    QFile::link(fuera, datos + "/bin/ffmpeg");
}

// The runtime goes to the Trash whole, or nothing moves at all; a removal cut short is picked up.
TEST(Eliminar, TodoALaPapeleraONada) {
    const QString papelera = QDir::homePath() + "/.local/share/Trash";
    const struct {
        const char* nombre;
        bool motor; // a whole runtime installed (else only the user's things)
        QStringList
            apartadas;  // parts a removal cut short left set aside ("python*": a newer in place)
        bool alEmpezar; // what the start does, else a removal
        const char* motivo; // why nothing was removed
        bool quitado;       // only the user's things stay, the Trash holds the rest
        int enPapelera;     // entries in the Trash
        bool sinPapelera = false, descargasMontadas = false;
    } casos[] = {
        {"a whole runtime", true, {}, false, nullptr, true, 1},
        {"nothing installed", false, {}, false, nullptr, false, 0},
        {"a Trash that cannot take it",
         true,
         {},
         false,
         "la Papelera no lo admite",
         false,
         0,
         true},
        {"a part that cannot be moved",
         true,
         {},
         false,
         "no se pudo apartar descargas",
         false,
         0,
         false,
         true},
        {"one cut short, at the next start",
         true,
         {"instalado.txt", "python"},
         true,
         nullptr,
         false,
         0},
        {"one cut short, then a removal", true, {"python", "bin"}, false, nullptr, true, 1},
        {"one cut short, a newer copy in place", true, {"python*"}, true, nullptr, false, 1},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        pruebas::Casa casa;
        const Globales g = casa.globales();
        const QString aparte = g.DATOS + "/Motor de VARNO/";
        QDir(papelera).removeRecursively();
        if (c.motor)
            instalarMotor(g.DATOS, casa.home() + "/fuera");
        else
            pruebas::escribir(g.DATOS + "/app/trabajo", "mio");
        const QStringList instalado = arbol(g.DATOS);
        for (const QString& p : c.apartadas) {
            QDir().mkpath(aparte);
            if (p.endsWith('*'))
                pruebas::escribir(aparte + p.chopped(1) + "/viejo", "");
            else
                QDir().rename(g.DATOS + '/' + p, aparte + p);
        }
        if (c.sinPapelera)
            pruebas::escribir(papelera, "");
        std::optional<fallos::Montaje> montaje;
        if (c.descargasMontadas)
            ASSERT_TRUE(montaje.emplace(g.DATOS + "/descargas", QString(), 0).montado);

        const Eliminacion e = c.alEmpezar ? Eliminacion{recuperarEliminacion(g)} : eliminarMotor(g);
        montaje.reset();
        QFile::remove(papelera);

        EXPECT_EQ(e.bien, !c.motivo);
        EXPECT_EQ(e.fallo,
                  c.motivo ? QString("No se pudo llevar el motor a la Papelera: %1.").arg(c.motivo)
                           : QString());
        const QStringList tirado = arbol(papelera + "/files");
        EXPECT_EQ(tirado.filter(QRegularExpression("^[^/]* 0$")).size(), c.enPapelera);
        if (!c.quitado) {
            EXPECT_EQ(arbol(g.DATOS), instalado);
            EXPECT_EQ(e.bytes, 0);
            continue;
        }
        QStringList queda, fue = {tirado.value(0)};
        for (const QString& r : instalado) {
            const QString cabeza = r.section('/', 0, 0).section(' ', 0, 0);
            if (cabeza == "app" || cabeza.endsWith(".log"))
                queda << r;
            else
                fue << fue[0].chopped(2) + '/' + r;
        }
        EXPECT_EQ(arbol(g.DATOS), queda);
        fue.sort();
        EXPECT_EQ(tirado, fue);
        // The 1 MB file once, and its folders; neither the link's 4 MB nor the engine's own.
        EXPECT_GE(e.bytes, 1 << 20);
        EXPECT_LT(e.bytes, (1 << 20) + 200'000);
    }
}

} // namespace
