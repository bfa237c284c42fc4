#include "base/proceso.h"
#include "base/texto.h"
#include "engine/motor.h"
#include "maintenance/mantenimiento.h"
#include "maintenance/record.h"
#include "maintenance/sha256.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const QString PYTHON = QStringLiteral("Python");
const QString FFMPEG = QStringLiteral("ffmpeg");
const QString MARCA = QStringLiteral("La marca de instalación");
const QString FALTA = QStringLiteral("falta");
const QString CAMBIO = QStringLiteral("su contenido cambió");
const QString TAMANO = QStringLiteral("su tamaño cambió");
const QString ILEGIBLE = QStringLiteral("no se puede leer");
const QString FUERA = QStringLiteral("apunta fuera del motor");
const QString NO_EJECUTABLE = QStringLiteral("no es ejecutable");
const QString NO_ARRANCA = QStringLiteral("no arranca");

bool esEnlace(const QString& ruta) {
    struct stat st;
    return ::lstat(QFile::encodeName(ruta).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool existe(const QString& ruta) {
    struct stat st;
    return ::lstat(QFile::encodeName(ruta).constData(), &st) == 0;
}

QString destinoDe(const QString& enlace) {
    char b[PATH_MAX];
    const ssize_t n = ::readlink(QFile::encodeName(enlace).constData(), b, sizeof b);
    return n < 0 ? QString() : QFile::decodeName(QByteArray(b, n));
}

// The path with every symbolic link in it followed, as far as it exists; what
// does not exist is appended as written. Empty on a loop of links. Nothing is
// opened: a FIFO or a device on the way is only looked at.
QString resolver(const QString& ruta, int saltos = 0) {
    const QString limpia = QDir::cleanPath(ruta);
    char b[PATH_MAX];
    if (::realpath(QFile::encodeName(limpia).constData(), b))
        return QFile::decodeName(b);
    if (saltos > 40)
        return {};
    const QFileInfo i(limpia);
    if (i.isRoot() || i.fileName().isEmpty())
        return limpia;
    const QString padre = resolver(i.path(), saltos + 1);
    if (padre.isEmpty())
        return {};
    const QString aqui = QDir(padre).filePath(i.fileName());
    if (!esEnlace(aqui))
        return aqui;
    const QString destino = destinoDe(aqui);
    return resolver(QDir::isAbsolutePath(destino) ? destino : QDir(padre).filePath(destino),
                    saltos + 1);
}

bool dentro(const QString& ruta, const QString& cota) {
    return ruta == cota || ruta.startsWith(cota + u'/');
}

// A small file of the runtime (a RECORD, METADATA, the marker), read only when
// it lies inside `cota` and is a regular file; nothing otherwise.
enum class Lectura { bien, falta, ilegible, fuera };
Lectura leerDentro(const QString& ruta, const QString& cota, QByteArray& texto,
                   qint64 maximo = 64 << 20) {
    if (!existe(ruta))
        return Lectura::falta;
    const QString real = resolver(ruta);
    if (real.isEmpty())
        return Lectura::ilegible;
    if (!dentro(real, cota))
        return Lectura::fuera;
    const int fd =
        ::open(QFile::encodeName(real).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    QFile f;
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maximo ||
        !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return Lectura::ilegible;
    }
    texto = f.read(maximo);
    return f.error() == QFileDevice::NoError ? Lectura::bien : Lectura::ilegible;
}

QString motivoDe(Lectura l) {
    return l == Lectura::falta ? FALTA : l == Lectura::fuera ? FUERA : ILEGIBLE;
}

// A program of the runtime run as the engine runs: without a shell, with the
// engine's environment, from DATOS/app. Its output when it ended by itself
// with status 0; nothing when not, when it outlived `limite` or when `parar`
// was set meanwhile.
std::optional<QString> correrComoElMotor(const Globales& g, const QString& programa,
                                         const QStringList& argumentos,
                                         const std::atomic<bool>& parar) {
    QProcess p;
    p.setProgram(programa);
    p.setArguments(argumentos);
    p.setWorkingDirectory(QDir(g.DATOS).filePath(QStringLiteral("app")));
    p.setProcessEnvironment(entornoDelMotor(QProcessEnvironment::systemEnvironment(), g.BUNDLE));
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(QIODevice::ReadOnly);
    const QDeadlineTimer plazo(limiteHerramienta);
    bool acabado = false;
    while (!acabado && !parar && !plazo.hasExpired() && p.state() != QProcess::NotRunning)
        acabado = p.waitForFinished(50);
    if (!acabado) {
        p.kill();
        p.waitForFinished(-1);
        return std::nullopt;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    return decodificar(p.readAllStandardOutput()).trimmed();
}

const QStringList ARGUMENTOS_PYTHON = {
    QStringLiteral("-I"), QStringLiteral("-c"),
    QStringLiteral("import sys; print('%d.%d.%d' % sys.version_info[:3])")};

// "ffmpeg version n7.1-static Copyright…" gives "7.1".
QString versionDeFfmpeg(const QString& salida) {
    const QStringList palabras = salida.section(u'\n', 0, 0).split(u' ', Qt::SkipEmptyParts);
    const qsizetype i = palabras.indexOf(QStringLiteral("version"));
    if (i < 0 || i + 1 >= palabras.size())
        return {};
    QString v = palabras[i + 1].section(u'-', 0, 0);
    if (v.size() > 1 && v[0] == u'n' && v[1].isDigit())
        v.remove(0, 1);
    return v;
}

// Every site-packages folder of the interpreter, each once (a venv's lib64 is
// a link to lib), and only those inside it.
QStringList sitePackages(const QString& python) {
    QStringList carpetas;
    for (const QString& lib : QDir(python).entryList({QStringLiteral("lib*")}, QDir::Dirs))
        for (const QString& version :
             QDir(python + u'/' + lib).entryList({QStringLiteral("python3*")}, QDir::Dirs)) {
            const QString real =
                resolver(python + u'/' + lib + u'/' + version + QStringLiteral("/site-packages"));
            if (QFileInfo(real).isDir() && dentro(real, python) && !carpetas.contains(real))
                carpetas.append(real);
        }
    carpetas.sort();
    return carpetas;
}

// "numpy 2.1.0" from METADATA's Name and Version, else from the folder's name.
QString nombreDeDistribucion(const QString& distInfo, const QString& cota) {
    QString nombre, version;
    QByteArray texto;
    if (leerDentro(distInfo + QStringLiteral("/METADATA"), cota, texto, 1 << 20) == Lectura::bien)
        for (const QByteArray& linea : texto.split('\n')) {
            if (linea.trimmed().isEmpty())
                break;
            if (linea.startsWith("Name:"))
                nombre = QString::fromUtf8(linea.mid(5).trimmed());
            else if (linea.startsWith("Version:"))
                version = QString::fromUtf8(linea.mid(8).trimmed());
        }
    const QString carpeta = QFileInfo(distInfo).completeBaseName();
    if (nombre.isEmpty() || version.isEmpty())
        return carpeta.section(u'-', 0, 0) + u' ' + carpeta.section(u'-', 1);
    return nombre + u' ' + version;
}

// One file to hash.
struct Tarea {
    QString componente, ruta; // for the report
    QString escrita;          // where the RECORD puts it
    QString real;             // what is read
    EntradaRecord entrada;
};

struct Recogida {
    QString raiz; // DATOS, links resolved
    QList<Tarea> tareas;
    QList<Problema> problemas;
    QSet<QString> cubiertas; // paths a RECORD or the manifest speaks of
    int distribuciones = 0;
};

// An entry of a RECORD whose paths start at `base` and must stay inside `cota`.
void planear(Recogida& r, const QString& componente, const EntradaRecord& e, const QString& base,
             const QString& cota) {
    const QString escrita = QDir::cleanPath(base + u'/' + e.ruta);
    const QString ruta = QDir(r.raiz).relativeFilePath(escrita);
    r.cubiertas.insert(escrita);
    const auto problema = [&](const QString& motivo) {
        r.problemas.append({componente, ruta, motivo});
    };
    if (QDir::isAbsolutePath(e.ruta) || !dentro(escrita, cota))
        return r.problemas.append({componente, e.ruta, FUERA});
    if (e.enlace) {
        if (!existe(escrita))
            problema(FALTA);
        else if (!esEnlace(escrita) || destinoDe(escrita) != *e.enlace)
            problema(CAMBIO);
        return;
    }
    const QString real = resolver(escrita);
    if (real.isEmpty())
        return problema(ILEGIBLE);
    if (!dentro(real, r.raiz) || !dentro(real, cota))
        return problema(FUERA);
    r.tareas.append({componente, ruta, escrita, real, e});
}

void leerUnRecord(Recogida& r, const QString& componente, const QString& archivo,
                  const QString& base, const QString& cota, bool manifiesto) {
    const QString ruta = QDir(r.raiz).relativeFilePath(archivo);
    QByteArray texto;
    if (const Lectura l = leerDentro(archivo, cota, texto); l != Lectura::bien)
        return r.problemas.append({componente, ruta, motivoDe(l)});
    const Record record = leerRecord(texto, manifiesto);
    for (int linea : record.danadas)
        r.problemas.append(
            {componente, ruta, QStringLiteral("su RECORD está dañado (línea %1)").arg(linea)});
    for (const EntradaRecord& e : record.entradas)
        planear(r, componente, e, base, cota);
}

QString componenteDeRuta(const QString& ruta) {
    return ruta.startsWith(QLatin1String("bin/")) ? FFMPEG : PYTHON;
}

Recogida recoger(const Globales& g, const std::atomic<bool>& parar) {
    Recogida r;
    r.raiz = resolver(g.DATOS);
    const QString python = r.raiz + QStringLiteral("/python");
    const QString manifiesto = r.raiz + QStringLiteral("/entorno.RECORD");
    // The manifest in two passes, so that each of its entries is named after
    // the part of the runtime it belongs to.
    QByteArray texto;
    if (const Lectura l = leerDentro(manifiesto, r.raiz, texto); l != Lectura::bien) {
        r.problemas.append({PYTHON, QStringLiteral("entorno.RECORD"), motivoDe(l)});
    } else {
        const Record record = leerRecord(texto, true);
        for (int linea : record.danadas)
            r.problemas.append({PYTHON, QStringLiteral("entorno.RECORD"),
                                QStringLiteral("su RECORD está dañado (línea %1)").arg(linea)});
        for (const EntradaRecord& e : record.entradas)
            planear(r, componenteDeRuta(e.ruta), e, r.raiz, r.raiz);
    }
    for (const QString& sitio : sitePackages(python)) {
        const QStringList distInfos =
            QDir(sitio).entryList({QStringLiteral("*.dist-info")}, QDir::Dirs, QDir::Name);
        for (const QString& d : distInfos) {
            const QString distInfo = sitio + u'/' + d;
            ++r.distribuciones;
            leerUnRecord(r, nombreDeDistribucion(distInfo, python),
                         distInfo + QStringLiteral("/RECORD"), sitio, python, false);
        }
    }
    // A link nothing speaks of, anywhere in the runtime, must not lead out of DATOS.
    for (const QString& carpeta : {python, r.raiz + QStringLiteral("/bin")}) {
        QDirIterator it(carpeta,
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext() && !parar) {
            const QString ruta = it.next();
            if (!it.fileInfo().isSymLink() || r.cubiertas.contains(ruta))
                continue;
            const QString real = resolver(ruta);
            const QString relativa = QDir(r.raiz).relativeFilePath(ruta);
            if (real.isEmpty() || !dentro(real, r.raiz))
                r.problemas.append({componenteDeRuta(relativa), relativa, FUERA});
        }
    }
    return r;
}

// What the workers share: the next task, the counts, when progress was last told.
struct Marcha {
    const QList<Tarea>& tareas;
    const std::atomic<bool>& parar;
    const std::function<void(const AvanceVerificacion&)>& avance;
    AvanceVerificacion totales;
    std::atomic<qsizetype> siguiente{0};
    std::atomic<qint64> archivos{0}, bytes{0}, leidos{0};
    std::atomic<qint64> ultimoAviso{0};
    QElapsedTimer reloj;
    std::mutex cerrojo;
    QList<Problema> problemas;

    Marcha(const QList<Tarea>& t, const std::atomic<bool>& p,
           const std::function<void(const AvanceVerificacion&)>& a)
        : tareas(t)
        , parar(p)
        , avance(a) {}
    AvanceVerificacion ahora() const {
        AvanceVerificacion a = totales;
        a.archivos = archivos;
        a.bytes = std::min(bytes.load(), a.bytesTotal);
        return a;
    }
    // At most one report each 50 ms, whichever thread gets there.
    void contar() {
        if (!avance)
            return;
        const qint64 t = reloj.elapsed();
        qint64 antes = ultimoAviso;
        if (t - antes >= 50 && ultimoAviso.compare_exchange_strong(antes, t))
            avance(ahora());
    }
    void trabajar() {
        QList<Problema> propios;
        for (qsizetype i; !parar && (i = siguiente++) < tareas.size();) {
            const Tarea& t = tareas[i];
            qint64 leidosAqui = 0;
            if (auto p = comprobar(t, leidosAqui); !p.isEmpty())
                propios.append({t.componente, t.ruta, p});
            // Progress counts what the RECORD promised, whatever was read.
            bytes += t.entrada.tamano.value_or(0) - leidosAqui;
            ++archivos;
            contar();
        }
        const std::lock_guard<std::mutex> l(cerrojo);
        problemas += propios;
    }
    QString comprobar(const Tarea& t, qint64& leidosAqui) {
        QFileInfo info(t.real);
        if (!info.exists())
            return esEnlace(t.escrita) ? ILEGIBLE : FALTA;
        if (info.isDir())
            return ILEGIBLE;
        if (t.entrada.tamano && info.size() != *t.entrada.tamano)
            return TAMANO;
        if (t.entrada.sha256.isEmpty())
            return {};
        const SumaArchivo s = sha256DeArchivo(t.real, parar, [this, &leidosAqui](qint64 n) {
            bytes += n;
            leidos += n;
            leidosAqui += n;
            contar();
        });
        switch (s.fallo) {
        case SumaArchivo::ninguno:
            return s.digest == t.entrada.sha256 ? QString() : CAMBIO;
        case SumaArchivo::falta:
            return FALTA;
        case SumaArchivo::ilegible:
            return ILEGIBLE;
        case SumaArchivo::parada:
            return {};
        }
        return {};
    }
};

std::optional<QString> versionDePython(const Globales& g, const std::atomic<bool>& parar) {
    return correrComoElMotor(g, g.PYTHON, ARGUMENTOS_PYTHON, parar);
}

// The interpreter and ffmpeg, each started once.
void probarProgramas(const Globales& g, const QString& raiz, const std::atomic<bool>& parar,
                     QList<Problema>& problemas) {
    const QString relativa = QDir(raiz).relativeFilePath(g.PYTHON);
    const QFileInfo python(g.PYTHON);
    // Both are started from there, as the engine is: without it neither could run.
    if (!QFileInfo(QDir(g.DATOS).filePath(QStringLiteral("app"))).isDir())
        return problemas.append({PYTHON, QStringLiteral("app"), FALTA});
    if (!python.exists())
        problemas.append({PYTHON, relativa, FALTA});
    else if (!python.isFile() || !python.isExecutable())
        problemas.append({PYTHON, relativa, NO_EJECUTABLE});
    else if (!versionDePython(g, parar) && !parar)
        problemas.append({PYTHON, relativa, NO_ARRANCA});

    // Linux without a system ffmpeg goes without one; the manifest says whether one belongs.
    const QString ffmpeg = QDir(g.DATOS).filePath(QStringLiteral("bin/ffmpeg"));
    const QFileInfo f(ffmpeg);
    if (!existe(ffmpeg) || parar)
        return;
    if (f.exists() && (!f.isFile() || !f.isExecutable()))
        problemas.append({FFMPEG, QStringLiteral("bin/ffmpeg"), NO_EJECUTABLE});
    else if (!correrComoElMotor(g, ffmpeg, {QStringLiteral("-version")}, parar) && !parar)
        problemas.append({FFMPEG, QStringLiteral("bin/ffmpeg"), NO_ARRANCA});
}

void probarMarca(const Globales& g, const QString& raiz, QList<Problema>& problemas) {
    QByteArray texto;
    const Lectura l = leerDentro(raiz + QStringLiteral("/instalado.txt"), raiz, texto, 4096);
    if (l != Lectura::bien)
        return problemas.append({MARCA, QStringLiteral("instalado.txt"), motivoDe(l)});
    const QString version = decodificar(texto).trimmed();
    if (version != g.VERSION)
        problemas.append({MARCA, QStringLiteral("instalado.txt"),
                          QStringLiteral("nombra la versión %1 y esta es la %2")
                              .arg(acortar(sinFormatoBidi(version), 40), g.VERSION)});
}

} // namespace

QString Problema::linea() const {
    return componente + QStringLiteral(": ") +
           (ruta.isEmpty() ? QString() : ruta + QStringLiteral(": ")) + motivo + u'.';
}

Informe verificar(const Globales& g, const std::atomic<bool>& parar,
                  const std::function<void(const AvanceVerificacion&)>& avance, int hilos) {
    QElapsedTimer reloj;
    reloj.start();
    Recogida r = recoger(g, parar);
    probarMarca(g, r.raiz, r.problemas);

    // The largest files first, so that no thread is left with a long one at the end.
    std::stable_sort(r.tareas.begin(), r.tareas.end(), [](const Tarea& a, const Tarea& b) {
        return a.entrada.tamano.value_or(0) > b.entrada.tamano.value_or(0);
    });
    Marcha m(r.tareas, parar, avance);
    m.totales.archivosTotal = r.tareas.size();
    for (const Tarea& t : r.tareas)
        m.totales.bytesTotal += t.entrada.tamano.value_or(0);
    m.reloj.start();
    if (avance)
        avance(m.ahora());

    const int n = std::clamp<qsizetype>(hilos > 0 ? hilos : QThread::idealThreadCount(), 1,
                                        std::max<qsizetype>(r.tareas.size(), 1));
    std::vector<std::thread> trabajadores;
    for (int i = 0; i < n; ++i)
        trabajadores.emplace_back([&m] { m.trabajar(); });
    // Meanwhile the programs are started here: they mostly wait.
    probarProgramas(g, r.raiz, parar, r.problemas);
    for (std::thread& t : trabajadores)
        t.join();
    if (avance)
        avance(m.ahora());

    Informe informe;
    informe.problemas = r.problemas + m.problemas;
    std::stable_sort(informe.problemas.begin(), informe.problemas.end(),
                     [](const Problema& a, const Problema& b) {
                         return std::tie(a.componente, a.ruta) < std::tie(b.componente, b.ruta);
                     });
    informe.problemas.erase(std::unique(informe.problemas.begin(), informe.problemas.end()),
                            informe.problemas.end());
    informe.archivos = m.archivos;
    informe.bytes = m.leidos;
    informe.cancelado = parar;
    informe.duracion = std::chrono::milliseconds(reloj.elapsed());
    return informe;
}

Instalado describir(const Globales& g) {
    Instalado i;
    const std::atomic<bool> nunca{false};
    const QString raiz = resolver(g.DATOS);
    QByteArray texto;
    if (leerDentro(raiz + QStringLiteral("/instalado.txt"), raiz, texto, 4096) == Lectura::bien)
        i.version = decodificar(texto).trimmed();
    i.python = versionDePython(g, nunca).value_or(QString());
    const QString ffmpeg = QDir(g.DATOS).filePath(QStringLiteral("bin/ffmpeg"));
    if (QFileInfo(ffmpeg).isExecutable())
        if (auto salida = correrComoElMotor(g, ffmpeg, {QStringLiteral("-version")}, nunca))
            i.ffmpeg = versionDeFfmpeg(*salida);
    for (const QString& sitio : sitePackages(raiz + QStringLiteral("/python")))
        i.bibliotecas +=
            int(QDir(sitio).entryList({QStringLiteral("*.dist-info")}, QDir::Dirs).size());
    // What removing the runtime frees: the blocks of its files, links not followed.
    const QStringList partes = {QStringLiteral("python"),        QStringLiteral("bin/ffmpeg"),
                                QStringLiteral("instalado.txt"), QStringLiteral("entorno.RECORD"),
                                QStringLiteral(".pasos"),        QStringLiteral("descargas")};
    const auto sumar = [&i](const QString& ruta) {
        struct stat st;
        if (::lstat(QFile::encodeName(ruta).constData(), &st) == 0)
            i.bytes += qint64(st.st_blocks) * 512;
    };
    QStringList raices;
    for (const QString& p : partes)
        raices << raiz + u'/' + p;
    for (const QString& t : QDir(raiz).entryList({QStringLiteral(".tmp.*")},
                                                 QDir::AllEntries | QDir::Hidden | QDir::System))
        raices << raiz + u'/' + t;
    for (const QString& r : raices) {
        sumar(r);
        QDirIterator it(r, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            sumar(it.next());
    }
    return i;
}
