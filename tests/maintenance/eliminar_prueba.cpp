#include "engine/partes.h"
#include "fallos/banco.h"
#include "maintenance/mantenimiento.h"

#include <dlfcn.h>
#include <optional>
#include <sys/wait.h>

// Every rename Qt and the Trash make passes here; in a child, the `matarTras`-th is its last.
static int matarTras = 0;
extern "C" int renameat2(int d, const char* a, int e, const char* b, unsigned f) noexcept {
    static const auto real =
        reinterpret_cast<decltype(&renameat2)>(::dlsym(RTLD_NEXT, "renameat2"));
    const int r = real(d, a, e, b, f);
    if (r == 0 && matarTras > 0 && --matarTras == 0)
        ::raise(SIGKILL);
    return r;
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

QString papelera() {
    return QDir::homePath() + "/.local/share/Trash";
}

// DATOS with what the Trash holds put back, as it was before a removal.
QStringList conLoTirado(const QString& datos) {
    QStringList todo = arbol(datos);
    for (const QString& r : arbol(papelera() + "/files").mid(1))
        todo << r.section('/', 1);
    todo.sort();
    return todo;
}

// A whole runtime beside the user's things: a 1 MB file with a second name, ffmpeg a link to
// 4 MB outside, the engine's 4 MB working folder.
void instalarMotor(const QString& datos, const QString& fuera) {
    const QByteArray mega(1 << 20, 'x');
    for (const char* r :
         {"instalado.txt", "entorno.RECORD", "entorno.RECORD.parcial", ".pasos/python",
          "descargas/b.parcial", ".tmp.a1/f", "app.viejo/f", "instalacion.log", "mesa.log"})
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
    const struct {
        const char* nombre;
        bool motor;         // a whole runtime, else only the user's things
        QString apartadas;  // what a cut-short removal set aside; "python*": a newer one in place
        bool alEmpezar;     // the start picks it up, else a removal
        const char* motivo; // why nothing was removed: the Trash a file, or descargas a mount point
        const char* enlace = nullptr; // "link>target", both relative to DATOS
    } casos[] = {
        {"a whole runtime", true, "", false, nullptr},
        {"nothing installed", false, "", false, nullptr},
        {"a Trash that cannot take it", true, "", false, "la Papelera no lo admite"},
        {"a Trash that is a link", true, "", false, "la Papelera no lo admite"},
        {"a part that cannot be moved", true, "", false, "no se pudo apartar descargas"},
        {"one cut short, then a removal", true, "python bin", false, nullptr},
        {"one cut short, a newer copy in place", true, "python*", true, nullptr},
        // The user's files a link leads to are never taken, nor a folder no removal made.
        {"a link of the user's into the runtime", true, "", false,
         "proyecto lleva a python/trabajo, que es parte del motor", "proyecto>python/trabajo"},
        {"a link deep in app into the runtime", true, "", false,
         "app/a/b lleva a descargas, que es parte del motor", "app/a/b>descargas"},
        {"the set-aside folder the user's, at start", false, "", true, nullptr,
         "Motor de VARNO/tesis>../../../Documentos"},
        {"the set-aside folder a link, then a removal", true, "", false,
         "Motor de VARNO ya existe y no es de VARNO", "Motor de VARNO>../../../Documentos"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        pruebas::Casa casa;
        const Globales g = casa.globales();
        QDir(papelera()).removeRecursively();
        if (c.motor)
            instalarMotor(g.DATOS, casa.home() + "/fuera");
        pruebas::escribir(g.DATOS + "/app/trabajo", "mio");
        if (const QStringList e = QString(c.enlace).split('>'); e.size() == 2) {
            pruebas::escribir(g.DATOS + '/' + e[1] + "/python/mio", "mio");
            QDir().mkpath(QFileInfo(g.DATOS + '/' + e[0]).path());
            QFile::link(g.DATOS + '/' + e[1], g.DATOS + '/' + e[0]);
        }
        const QStringList instalado = arbol(g.DATOS);
        for (const QString& p : c.apartadas.split(' ', Qt::SkipEmptyParts)) {
            QDir().mkpath(g.DATOS + "/Motor de VARNO");
            if (p.endsWith('*'))
                pruebas::escribir(g.DATOS + "/Motor de VARNO/" + p.chopped(1) + "/viejo", "");
            else
                QDir().rename(g.DATOS + '/' + p, g.DATOS + "/Motor de VARNO/" + p);
        }
        const QString motivo = c.motivo;
        const bool enlazada = QByteArray(c.nombre).endsWith("link");
        if (motivo.contains("Papelera") && !(enlazada && QFile::link(casa.home(), papelera())))
            pruebas::escribir(papelera(), "");
        std::optional<fallos::Montaje> montaje;
        if (motivo.contains("descargas")) {
            ASSERT_TRUE(montaje.emplace(g.DATOS + "/descargas", QString(), 0).montado);
        }

        const qint64 anunciado = describir(g).bytes; // what the maintenance screen gives
        const Resultado<qint64> e = !c.alEmpezar              ? eliminarMotor(g)
                                    : recuperarEliminacion(g) ? Resultado<qint64>(0)
                                                              : Resultado<qint64>::fallo("");
        const qint64 bytes = e.bien() ? e.valor() : 0;
        montaje.reset();
        QFile::remove(papelera());
        const QStringList tirado = arbol(papelera() + "/files");

        EXPECT_EQ(e.bien(), motivo.isEmpty());
        EXPECT_EQ(e.motivo(),
                  c.motivo ? "No se pudo llevar el motor a la Papelera: " + motivo + '.' : "");
        // What is gone is in the Trash as it was, and only the user's things stay.
        const bool quitado = c.motor && !c.alEmpezar && !c.motivo;
        EXPECT_EQ(tirado.filter(QRegularExpression("^[^/]* 0$")).size(),
                  quitado || c.apartadas.endsWith('*'));
        EXPECT_EQ(quitado ? conLoTirado(g.DATOS) : arbol(g.DATOS), instalado);
        EXPECT_EQ(arbol(g.DATOS),
                  quitado ? instalado.filter(QRegularExpression("^(app[ /]|\\w+\\.log )"))
                          : instalado);
        // The 1 MB file once, and its folders; neither the link's 4 MB nor the engine's own.
        EXPECT_TRUE(!c.apartadas.isEmpty() || bytes == (quitado ? anunciado : 0)) << anunciado;
        EXPECT_TRUE(!quitado || (bytes >= 1 << 20 && bytes < (1 << 20) + 200'000)) << bytes;
    }
}

// Killed after any rename, with a Trash that takes it or not, the next start finds the runtime
// whole in DATOS or in the Trash, once.
TEST(Eliminar, MatadaEnCualquierRenombre) {
    for (int admite = 0, k = 1, muerta = 1; admite < 2; muerta ? ++k : (++admite, k = 1)) {
        SCOPED_TRACE(k + 100 * admite);
        pruebas::Casa casa;
        const Globales g = casa.globales();
        QDir(papelera()).removeRecursively();
        if (!admite)
            pruebas::escribir(papelera(), "");
        instalarMotor(g.DATOS, casa.home() + "/fuera");
        const QStringList instalado = arbol(g.DATOS);
        const pid_t hijo = ::fork();
        if (hijo == 0)
            ::_exit((matarTras = k, eliminarMotor(g).bien()));
        ::waitpid(hijo, &muerta, 0);
        muerta = WIFSIGNALED(muerta);
        recuperarEliminacion(g);
        QFile::remove(papelera());
        EXPECT_EQ(conLoTirado(g.DATOS), instalado);
    }
}

// What the installer makes in DATOS is the runtime, but for the engine's folder, its log and the
// lock of a run; and each part of the runtime is something the installer makes.
TEST(Partes, LasQueHaceElInstalador) {
    const QString guion = pruebas::leer(VARNO_FUENTES "/paquete/instalar_mac.sh");
    const QStringList ajenas = {partes::trabajo, "instalacion.log", ".instalando"};
    static const QRegularExpression enDatos(R"(\$DATOS/(\.?[\w-]+(?:\.[\w-]+)*))");
    for (const auto& m : enDatos.globalMatch(guion))
        EXPECT_TRUE(partes::esParte(m.captured(1)) || ajenas.contains(m.captured(1)))
            << m.captured(1).toStdString();
    for (const QString& n : partes::nombres() + ajenas)
        EXPECT_TRUE(guion.contains(n)) << n.toStdString();
}

} // namespace
