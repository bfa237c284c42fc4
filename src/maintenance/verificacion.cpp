#include "base/texto.h"
#include "maintenance/confinamiento.h"
#include "maintenance/mantenimiento.h"
#include "maintenance/programas.h"
#include "maintenance/record.h"
#include "maintenance/sha256.h"
#include "maintenance/textos.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Estado = Confinamiento::Estado;
using Tipo = Confinamiento::Tipo;

const QString MARCA = QStringLiteral("La marca de instalación");
const QString FALTA = QStringLiteral("falta");
const QString CAMBIO = QStringLiteral("su contenido cambió");
const QString TAMANO = QStringLiteral("su tamaño cambió");
const QString ILEGIBLE = QStringLiteral("no se puede leer");
const QString FUERA = QStringLiteral("apunta fuera del motor");

// Whatever the runtime holds, the work and the report stay this size: a
// real runtime has about 100 000 files.
constexpr qint64 FILAS_MAXIMAS = 300'000;
constexpr int PROBLEMAS_POR_PARTE = 100;
constexpr qint64 RECORD_MAXIMO = 64 << 20;

QString motivoDe(Estado e) {
    return e == Estado::falta ? FALTA : e == Estado::fuera ? FUERA : ILEGIBLE;
}

// The problems found so far, from any thread: at most `PROBLEMAS_POR_PARTE`
// of each part kept, the rest only counted; none carries a control character.
class Problemas {
public:
    void anadir(const QString& componente, const QString& ruta, const QString& motivo) {
        const std::lock_guard<std::mutex> l(cerrojo_);
        if (++cuenta_[componente] <= PROBLEMAS_POR_PARTE)
            lista_.append({sinControl(componente), sinControl(ruta), sinControl(motivo)});
    }
    // In a stable order: by part, then by path, each once; a part with too
    // many ends in how many more it had.
    QList<Problema> finales() {
        std::stable_sort(lista_.begin(), lista_.end(), [](const Problema& a, const Problema& b) {
            return std::tie(a.componente, a.ruta) < std::tie(b.componente, b.ruta);
        });
        lista_.erase(std::unique(lista_.begin(), lista_.end()), lista_.end());
        QList<Problema> r;
        for (qsizetype i = 0; i < lista_.size(); ++i) {
            r.append(lista_[i]);
            const QString& c = lista_[i].componente;
            const qint64 mas = cuenta_.value(c) - PROBLEMAS_POR_PARTE;
            if (mas > 0 && (i + 1 == lista_.size() || lista_[i + 1].componente != c))
                r.append({sinControl(c), QString(),
                          mas == 1 ? QStringLiteral("y un problema más")
                                   : QStringLiteral("y %1 problemas más").arg(cifra(mas))});
        }
        return r;
    }

private:
    std::mutex cerrojo_;
    QList<Problema> lista_;
    QHash<QString, qint64> cuenta_;
};

// One file to hash: its path relative to DATOS, as few bytes as may be.
struct Tarea {
    QByteArray ruta;
    std::array<char, 32> suma{};
    bool conSuma = false;
    bool enPython = false; // must lie inside python/, as a library's files do
    qint64 tamano = -1;
    int componente = 0;
};

struct Recogida {
    const Confinamiento& c;
    const std::atomic<bool>& parar;
    Problemas& problemas;
    QStringList componentes;
    std::vector<Tarea> tareas;
    QSet<QByteArray> cubiertas;            // paths a RECORD speaks of, each planned once
    QHash<QByteArray, int> distribuciones; // a dist-info folder and its part
    QHash<QString, int> indices;
    qint64 filas = 0;
    bool lleno = false;

    Recogida(const Confinamiento& c_, const std::atomic<bool>& p, Problemas& ps)
        : c(c_)
        , parar(p)
        , problemas(ps) {}
    int indice(const QString& componente) {
        if (const auto i = indices.constFind(componente); i != indices.cend())
            return *i;
        componentes << componente;
        return indices[componente] = int(componentes.size() - 1);
    }
    void problema(int componente, const QByteArray& ruta, const QString& motivo) {
        problemas.anadir(componentes[componente], QString::fromUtf8(ruta), motivo);
    }

    // "numpy 2.1.0" from METADATA's Name and Version, else from the folder's name.
    int distribucion(const QByteArray& distInfo) {
        if (const auto i = distribuciones.constFind(distInfo); i != distribuciones.cend())
            return *i;
        QString nombre, version;
        QByteArray texto;
        if (c.leer(distInfo + "/METADATA", "python", texto, 1 << 20) == Estado::bien)
            for (const QByteArray& linea : texto.split('\n')) {
                if (linea.trimmed().isEmpty())
                    break;
                if (linea.startsWith("Name:"))
                    nombre = QString::fromUtf8(linea.mid(5).trimmed());
                else if (linea.startsWith("Version:"))
                    version = QString::fromUtf8(linea.mid(8).trimmed());
            }
        const QString carpeta = QString::fromUtf8(distInfo.mid(distInfo.lastIndexOf('/') + 1))
                                    .chopped(int(sizeof ".dist-info") - 1);
        if (nombre.isEmpty() || version.isEmpty())
            nombre = carpeta.section(u'-', 0, 0), version = carpeta.section(u'-', 1);
        return distribuciones[distInfo] = indice(nombre + u' ' + version);
    }

    // A row whose path starts at `base` and must stay inside `cota`; false once
    // the rows are too many.
    bool planear(int componente, const EntradaRecord& e, const QByteArray& base,
                 const QByteArray& cota) {
        if (++filas > FILAS_MAXIMAS) {
            lleno = true;
            return false;
        }
        const QByteArray escrita = e.ruta.toUtf8();
        bool sale = false;
        const QByteArray ruta =
            limpiarRelativa(base.isEmpty() ? escrita : base + '/' + escrita, &sale);
        if (escrita.startsWith('/') || sale || !dentroDe(ruta, cota)) {
            problema(componente, escrita, FUERA);
            return true;
        }
        if (cubiertas.contains(ruta))
            return true; // listed again: checked once
        cubiertas.insert(ruta);
        if (e.enlace) {
            // The manifest's own links: only their target is looked at.
            const qsizetype barra = ruta.lastIndexOf('/');
            const QByteArray nombre = ruta.mid(barra + 1);
            const auto carpeta = c.abrir(ruta.left(std::max<qsizetype>(barra, 0)), Tipo::carpeta);
            char b[4096];
            struct stat st;
            const ssize_t n = carpeta.fd < 0 ? -1 : ::readlinkat(carpeta.fd, nombre, b, sizeof b);
            if (carpeta.fd < 0)
                problema(componente, ruta, motivoDe(carpeta.estado));
            else if (n < 0 && ::fstatat(carpeta.fd, nombre, &st, AT_SYMLINK_NOFOLLOW) != 0)
                problema(componente, ruta, FALTA);
            else if (n < 0 || QString::fromUtf8(b, n) != *e.enlace)
                problema(componente, ruta, CAMBIO);
            if (carpeta.fd >= 0)
                ::close(carpeta.fd);
            return true;
        }
        Tarea t;
        t.ruta = ruta;
        t.conSuma = !e.sha256.isEmpty();
        if (t.conSuma)
            std::copy_n(e.sha256.constData(), 32, t.suma.begin());
        t.enPython = cota == "python";
        t.tamano = e.tamano.value_or(-1);
        t.componente = componente;
        tareas.push_back(std::move(t));
        return true;
    }

    // Reads a RECORD and plans its rows; whether it lists `propio`.
    bool leerRecordDe(int componente, const QByteArray& archivo, const QByteArray& cota,
                      const std::function<bool(const EntradaRecord&)>& fila,
                      const QByteArray& propio = {}) {
        QByteArray texto;
        if (const Estado e = c.leer(archivo, cota, texto, RECORD_MAXIMO); e != Estado::bien) {
            problema(componente, archivo, motivoDe(e));
            return true; // what is wrong is said already
        }
        ++filas; // a RECORD counts, however few rows it has
        bool listado = false;
        recorrerRecord(
            texto, archivo == "entorno.RECORD",
            [&](EntradaRecord& e) {
                listado = listado || limpiarRelativa(e.ruta.toUtf8()) == propio;
                return fila(e);
            },
            [&](int linea) {
                problema(componente, archivo,
                         QStringLiteral("su RECORD está dañado (línea %1)").arg(linea));
                return true;
            },
            &parar);
        if (lleno)
            problema(componente, archivo,
                     QStringLiteral("lista más archivos de los %1 que se verifican")
                         .arg(cifra(FILAS_MAXIMAS)));
        return listado || lleno;
    }
};

// The manifest's row under "…/site-packages/<name>-<version>.dist-info/" is that library's.
QByteArray distInfoDe(const QByteArray& ruta) {
    const QByteArrayList partes = ruta.split('/');
    for (qsizetype i = 0; i + 2 < partes.size(); ++i)
        if (partes[i] == "site-packages" && partes[i + 1].endsWith(".dist-info"))
            return partes.mid(0, i + 2).join('/');
    return {};
}

void recoger(Recogida& r) {
    const int python = r.indice(partes::python), ffmpeg = r.indice(partes::ffmpeg);
    // The manifest names every part of the runtime, each library included by its RECORD.
    r.leerRecordDe(python, "entorno.RECORD", {}, [&r, ffmpeg, python](const EntradaRecord& e) {
        const QByteArray limpia = limpiarRelativa(e.ruta.toUtf8());
        const QByteArray distInfo = distInfoDe(limpia);
        if (!distInfo.isEmpty())
            return r.planear(r.distribucion(distInfo), e, {}, "python");
        return r.planear(limpia.startsWith("bin/") ? ffmpeg : python, e, {}, {});
    });
    for (const QByteArray& sitio : sitePackages(r.c)) {
        const Confinamiento::Abierto a = r.c.abrir(sitio, Tipo::carpeta, "python");
        const auto entradas =
            a.fd < 0 ? QList<Confinamiento::Entrada>() : Confinamiento::listar(a.fd);
        if (a.fd >= 0)
            ::close(a.fd);
        QByteArrayList nombres;
        for (const auto& e : entradas)
            if ((e.carpeta || e.enlace) && e.nombre.endsWith(".dist-info"))
                nombres << e.nombre;
        std::sort(nombres.begin(), nombres.end());
        for (const QByteArray& d : nombres) {
            if (r.parar || r.lleno)
                return;
            const QByteArray distInfo = sitio + '/' + d;
            const int componente = r.distribucion(distInfo);
            const bool entera = r.leerRecordDe(
                componente, distInfo + "/RECORD", "python",
                [&](const EntradaRecord& e) { return r.planear(componente, e, sitio, "python"); },
                d + "/INSTALLER");
            // pip and uv list INSTALLER in RECORD, which they write last: a
            // library cut short keeps only its wheel's RECORD.
            if (!entera)
                r.problema(componente, distInfo, QStringLiteral("su instalación quedó a medias"));
        }
    }
}

// What the workers share: the next task, the counts, the files already hashed.
struct Marcha {
    const Confinamiento& c;
    const std::vector<Tarea>& tareas;
    const QStringList& componentes;
    const std::atomic<bool>& parar;
    const std::function<void(const AvanceVerificacion&)>& avance;
    Problemas& problemas;
    AvanceVerificacion totales;
    std::atomic<qsizetype> siguiente{0};
    std::atomic<qint64> archivos{0}, bytes{0}, leidos{0};
    std::atomic<qint64> ultimoAviso{0};
    QElapsedTimer reloj;
    // A file reached by two paths is hashed once: by its device and node.
    struct Suma {
        bool lista = false;
        SumaArchivo s;
    };
    std::mutex cerrojo;
    std::condition_variable hecha;
    std::map<std::pair<dev_t, ino_t>, Suma> sumas;

    Marcha(const Confinamiento& c_, const std::vector<Tarea>& t, const QStringList& cs,
           const std::atomic<bool>& p, const std::function<void(const AvanceVerificacion&)>& a,
           Problemas& ps)
        : c(c_)
        , tareas(t)
        , componentes(cs)
        , parar(p)
        , avance(a)
        , problemas(ps) {}

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
        for (qsizetype i; !parar && (i = siguiente++) < qsizetype(tareas.size());) {
            const Tarea& t = tareas[size_t(i)];
            qint64 leidosAqui = 0;
            // Opened anew from DATOS, part by part: a folder swapped for a
            // link since the work was planned leads nowhere outside.
            const auto a = c.abrir(t.ruta, Tipo::archivo, t.enPython ? "python" : "");
            const QString motivo =
                a.estado == Estado::bien ? comprobar(t, a.fd, leidosAqui) : motivoDe(a.estado);
            if (a.fd >= 0)
                ::close(a.fd);
            if (!motivo.isEmpty())
                problemas.anadir(componentes[t.componente], QString::fromUtf8(t.ruta), motivo);
            // Progress counts what the RECORD promised, whatever was read.
            bytes += std::max<qint64>(t.tamano, 0) - leidosAqui;
            ++archivos;
            contar();
        }
    }
    QString comprobar(const Tarea& t, int fd, qint64& leidosAqui) {
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
            return ILEGIBLE;
        if (t.tamano >= 0 && st.st_size != t.tamano)
            return TAMANO;
        if (!t.conSuma)
            return {};
        std::unique_lock<std::mutex> l(cerrojo);
        auto [s, nueva] = sumas.try_emplace({st.st_dev, st.st_ino});
        if (nueva) {
            l.unlock();
            const SumaArchivo suma = sha256DeDescriptor(fd, parar, [&](qint64 n) {
                bytes += n;
                leidos += n;
                leidosAqui += n;
                contar();
            });
            l.lock();
            s->second = {true, suma};
            hecha.notify_all();
        }
        while (!s->second.lista && !parar)
            hecha.wait_for(l, std::chrono::milliseconds(50));
        if (!s->second.lista || s->second.s.fallo == SumaArchivo::parada)
            return {};
        if (s->second.s.fallo != SumaArchivo::ninguno)
            return ILEGIBLE;
        return std::equal(t.suma.begin(), t.suma.end(), s->second.s.digest.constBegin()) ? QString()
                                                                                         : CAMBIO;
    }
};

void probarMarca(const Globales& g, const Confinamiento& c, Problemas& problemas) {
    QByteArray texto;
    const Estado e = c.leer("instalado.txt", {}, texto, 4096);
    if (e != Estado::bien)
        return problemas.anadir(MARCA, QStringLiteral("instalado.txt"), motivoDe(e));
    const QString version = decodificar(texto).trimmed();
    if (version != g.VERSION)
        problemas.anadir(MARCA, QStringLiteral("instalado.txt"),
                         QStringLiteral("nombra la versión %1 y esta es la %2")
                             .arg(acortar(sinFormatoBidi(version), 40), g.VERSION));
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
    // The programs mostly wait: they run meanwhile, from the start.
    QList<Problema> deProgramas;
    std::thread programas([&] { probarProgramas(g, parar, deProgramas); });

    const Confinamiento c(g.DATOS);
    Problemas problemas;
    Recogida r(c, parar, problemas);
    recoger(r);
    // A link nothing speaks of, anywhere in the runtime, must not lead out of DATOS.
    for (const char* carpeta : {"python", "bin"})
        c.recorrerEnlaces(carpeta, parar, [&](const QByteArray& ruta) {
            if (r.cubiertas.contains(ruta))
                return;
            const Estado e = c.abrir(ruta, Tipo::lugar).estado;
            if (e == Estado::fuera || e == Estado::ilegible)
                problemas.anadir(ruta.startsWith("bin/") ? partes::ffmpeg : partes::python,
                                 QString::fromUtf8(ruta), FUERA);
        });
    r.cubiertas.clear();
    probarMarca(g, c, problemas);

    // The largest files first, so that no thread is left with a long one at
    // the end; the rest in their RECORD's order, which keeps a folder's together.
    const auto peso = [](const Tarea& t) { return t.tamano >= (1 << 20) ? t.tamano : 0; };
    std::stable_sort(r.tareas.begin(), r.tareas.end(),
                     [&](const Tarea& a, const Tarea& b) { return peso(a) > peso(b); });
    Marcha m(c, r.tareas, r.componentes, parar, avance, problemas);
    m.totales.archivosTotal = qint64(r.tareas.size());
    for (const Tarea& t : r.tareas)
        m.totales.bytesTotal += std::max<qint64>(t.tamano, 0);
    m.reloj.start();
    if (avance)
        avance(m.ahora());

    const int n = int(std::clamp<qsizetype>(hilos > 0 ? hilos : QThread::idealThreadCount(), 1,
                                            std::max<qsizetype>(qsizetype(r.tareas.size()), 1)));
    std::vector<std::thread> trabajadores;
    for (int i = 0; i < n; ++i)
        trabajadores.emplace_back([&m] { m.trabajar(); });
    for (std::thread& t : trabajadores)
        t.join();
    programas.join();
    if (avance)
        avance(m.ahora());
    for (const Problema& p : deProgramas)
        problemas.anadir(p.componente, p.ruta, p.motivo);

    Informe informe;
    informe.problemas = problemas.finales();
    informe.archivos = m.archivos;
    informe.bytes = m.leidos;
    informe.cancelado = parar;
    informe.duracion = std::chrono::milliseconds(reloj.elapsed());
    return informe;
}
