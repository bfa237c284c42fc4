#pragma once

#include "maintenance/confinamiento.h"
#include "maintenance/mantenimiento.h"
#include "maintenance/textos.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

// What a verification does before it reads any file: the manifest and every
// library's RECORD read, each file to hash planned once, and what is wrong on
// the way. Inside verification only.
namespace verificacion {

using Estado = Confinamiento::Estado;
using Tipo = Confinamiento::Tipo;

inline const QString FALTA = QStringLiteral("falta");
inline const QString CAMBIO = QStringLiteral("su contenido cambió");
inline const QString TAMANO = QStringLiteral("su tamaño cambió");
inline const QString ILEGIBLE = QStringLiteral("no se puede leer");
inline const QString FUERA = QStringLiteral("apunta fuera del motor");

// Whatever the runtime holds, the work and the report stay this size: a
// real runtime has about 100 000 files.
inline constexpr qint64 FILAS_MAXIMAS = 300'000;
inline constexpr int PROBLEMAS_POR_PARTE = 100;

inline QString motivoDe(Estado e) {
    return e == Estado::falta ? FALTA : e == Estado::fuera ? FUERA : ILEGIBLE;
}

// The problems found so far, from any thread: at most `PROBLEMAS_POR_PARTE`
// of each part kept, the rest only counted; none carries a control character.
class Problemas {
public:
    void anadir(const Parte& parte, const QString& ruta, const QString& motivo) {
        // Counted by the text the report shows, where the count is looked up.
        const Parte limpia{parte.tipo, sinControl(parte.nombre), sinControl(parte.version)};
        const std::lock_guard<std::mutex> l(cerrojo_);
        if (++cuenta_[limpia.texto()] <= PROBLEMAS_POR_PARTE)
            lista_.append({limpia, sinControl(ruta), sinControl(motivo)});
    }
    // In a stable order: by part, then by path, each once; a part with too
    // many ends in how many more it had.
    QList<Problema> finales() {
        std::stable_sort(lista_.begin(), lista_.end(), [](const Problema& a, const Problema& b) {
            return std::pair(a.parte.texto(), a.ruta) < std::pair(b.parte.texto(), b.ruta);
        });
        lista_.erase(std::unique(lista_.begin(), lista_.end()), lista_.end());
        QList<Problema> r;
        for (qsizetype i = 0; i < lista_.size(); ++i) {
            r.append(lista_[i]);
            const Parte& p = lista_[i].parte;
            const qint64 mas = cuenta_.value(p.texto()) - PROBLEMAS_POR_PARTE;
            if (mas > 0 && (i + 1 == lista_.size() || lista_[i + 1].parte.texto() != p.texto()))
                r.append({p, QString(),
                          mas == 1 ? QStringLiteral("y un problema más")
                                   : QStringLiteral("y %1 problemas más").arg(cifra(mas))});
        }
        return r;
    }

private:
    std::mutex cerrojo_;
    QList<Problema> lista_;
    QHash<QString, qint64> cuenta_; // by the part's text
};

// One file to hash: its path relative to DATOS, as few bytes as may be.
struct Tarea {
    QByteArray ruta;
    std::array<char, 32> suma{};
    bool conSuma = false;
    bool enPython = false; // must lie inside python/, as a library's files do
    qint64 tamano = -1;
    int parte = 0; // in Plan::partes
};

struct Plan {
    QList<Parte> partes; // what each task is about, by index
    std::vector<Tarea> tareas;
    QSet<QByteArray> cubiertas; // every path a RECORD speaks of
};
Plan planear(const Confinamiento& c, const std::atomic<bool>& parar, Problemas& problemas);

} // namespace verificacion
