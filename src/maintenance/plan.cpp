#include "maintenance/plan.h"
#include "engine/partes.h"
#include "maintenance/record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace verificacion {
namespace {

constexpr qint64 RECORD_MAXIMO = 64 << 20;

struct Recogida {
    const Confinamiento& c;
    const std::atomic<bool>& parar;
    Problemas& problemas;
    QList<Parte> componentes; // what each index is about
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
    int indice(const Parte& parte) {
        const QString texto = parte.texto();
        if (const auto i = indices.constFind(texto); i != indices.cend())
            return *i;
        componentes << parte;
        return indices[texto] = int(componentes.size() - 1);
    }
    void problema(int componente, const QByteArray& ruta, const QString& motivo) {
        problemas.anadir(componentes[componente], QString::fromUtf8(ruta), motivo);
    }

    // A library by METADATA's Name and Version, else by the folder's name.
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
        return distribuciones[distInfo] = indice({Parte::Tipo::biblioteca, nombre, version});
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
        t.parte = componente;
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
            texto, archivo == partes::manifiesto.toUtf8(),
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
    const int python = r.indice({Parte::Tipo::python}), ffmpeg = r.indice({Parte::Tipo::ffmpeg});
    // The manifest names every part of the runtime, each library included by its RECORD.
    r.leerRecordDe(python, partes::manifiesto.toUtf8(), {},
                   [&r, ffmpeg, python](const EntradaRecord& e) {
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

} // namespace

Plan planear(const Confinamiento& c, const std::atomic<bool>& parar, Problemas& problemas) {
    Recogida r(c, parar, problemas);
    recoger(r);
    return {std::move(r.componentes), std::move(r.tareas), std::move(r.cubiertas)};
}

} // namespace verificacion
