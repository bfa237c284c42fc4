#include "base/texto.h"
#include "engine/partes.h"
#include "maintenance/confinamiento.h"
#include "maintenance/mantenimiento.h"
#include "maintenance/plan.h"
#include "maintenance/programas.h"
#include "maintenance/sha256.h"
#include "maintenance/textos.h"

#include <QElapsedTimer>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <condition_variable>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace verificacion;

const Parte MARCA{Parte::Tipo::marca};

// What the workers share: the next task, the counts, the files already hashed.
struct Marcha {
    const Confinamiento& c;
    const std::vector<Tarea>& tareas;
    const QList<Parte>& partes;
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

    Marcha(const Confinamiento& c_, const std::vector<Tarea>& t, const QList<Parte>& ps_,
           const std::atomic<bool>& p, const std::function<void(const AvanceVerificacion&)>& a,
           Problemas& ps)
        : c(c_)
        , tareas(t)
        , partes(ps_)
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
                problemas.anadir(partes[t.parte], QString::fromUtf8(t.ruta), motivo);
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
    const Estado e = c.leer(partes::marca.toUtf8(), {}, texto, 4096);
    if (e != Estado::bien)
        return problemas.anadir(MARCA, partes::marca, motivoDe(e));
    const QString version = decodificar(texto).trimmed();
    if (version != g.VERSION)
        problemas.anadir(MARCA, partes::marca,
                         QStringLiteral("nombra la versión %1 y esta es la %2")
                             .arg(acortar(sinFormatoBidi(version), 40), g.VERSION));
}

} // namespace

QString Parte::texto() const {
    switch (tipo) {
    case Tipo::python:
        return QStringLiteral("Python");
    case Tipo::ffmpeg:
        return QStringLiteral("ffmpeg");
    case Tipo::marca:
        return QStringLiteral("La marca de instalación");
    case Tipo::biblioteca:
        break;
    }
    return nombre + u' ' + version;
}

QString Problema::linea() const {
    return parte.texto() + QStringLiteral(": ") +
           (ruta.isEmpty() ? QString() : ruta + QStringLiteral(": ")) + motivo + u'.';
}

Informe verificar(const Globales& g, const std::atomic<bool>& parar,
                  const std::function<void(const AvanceVerificacion&)>& avance, int hilos) {
    QElapsedTimer reloj;
    reloj.start();
    // A pool of its own, so that the program's shared one is never held up by
    // this. The programs mostly wait: they run meanwhile, from the start.
    QThreadPool trabajo;
    QList<Problema> deProgramas;
    trabajo.start([&] { probarProgramas(g, parar, deProgramas); });

    const Confinamiento c(g.DATOS);
    Problemas problemas;
    Plan r = planear(c, parar, problemas);
    // A link nothing speaks of, anywhere in the runtime, must not lead out of DATOS.
    for (const char* carpeta : {"python", "bin"})
        c.recorrerEnlaces(carpeta, parar, [&](const QByteArray& ruta) {
            if (r.cubiertas.contains(ruta))
                return;
            const Estado e = c.abrir(ruta, Tipo::lugar).estado;
            if (e == Estado::fuera || e == Estado::ilegible)
                problemas.anadir(
                    Parte{ruta.startsWith("bin/") ? Parte::Tipo::ffmpeg : Parte::Tipo::python},
                    QString::fromUtf8(ruta), FUERA);
        });
    r.cubiertas.clear();
    probarMarca(g, c, problemas);

    // The largest files first, so that no thread is left with a long one at
    // the end; the rest in their RECORD's order, which keeps a folder's together.
    const auto peso = [](const Tarea& t) { return t.tamano >= (1 << 20) ? t.tamano : 0; };
    std::stable_sort(r.tareas.begin(), r.tareas.end(),
                     [&](const Tarea& a, const Tarea& b) { return peso(a) > peso(b); });
    Marcha m(c, r.tareas, r.partes, parar, avance, problemas);
    m.totales.archivosTotal = qint64(r.tareas.size());
    for (const Tarea& t : r.tareas)
        m.totales.bytesTotal += std::max<qint64>(t.tamano, 0);
    m.reloj.start();
    if (avance)
        avance(m.ahora());

    const int n = int(std::clamp<qsizetype>(hilos > 0 ? hilos : QThread::idealThreadCount(), 1,
                                            std::max<qsizetype>(qsizetype(r.tareas.size()), 1)));
    trabajo.setMaxThreadCount(n + 1);
    for (int i = 0; i < n; ++i)
        trabajo.start([&m] { m.trabajar(); });
    trabajo.waitForDone();
    if (avance)
        avance(m.ahora());
    for (const Problema& p : deProgramas)
        problemas.anadir(p.parte, p.ruta, p.motivo);

    Informe informe;
    informe.problemas = problemas.finales();
    informe.archivos = m.archivos;
    informe.bytes = m.leidos;
    informe.cancelado = parar;
    informe.duracion = std::chrono::milliseconds(reloj.elapsed());
    return informe;
}
