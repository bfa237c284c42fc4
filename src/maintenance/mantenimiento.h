#pragma once

#include "base/globales.h"
#include "base/resultado.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <functional>

// Keeping the engine's runtime in DATOS sound: what is installed, verifying
// every file of it, what a repair must redo, and removing it.

// What a problem is about: the interpreter, ffmpeg, the marker, or a library.
struct Parte {
    enum class Tipo { python, ffmpeg, marca, biblioteca };
    Tipo tipo = Tipo::python;
    QString nombre{}, version{}; // a library's, as its METADATA names it: "numpy", "2.1.0"
    // As the report names it: "Python", "ffmpeg", "La marca de instalación", "numpy 2.1.0".
    QString texto() const;
    bool operator==(const Parte&) const = default;
};

// One thing wrong with the runtime.
struct Problema {
    Parte parte;
    QString ruta; // relative to DATOS; empty when it is about the part as a whole
    QString
        motivo; // one plain Spanish sentence without a final stop: "falta", "su contenido cambió"
    // A line of the report: "parte: ruta: motivo." (the path left out when empty).
    QString linea() const;
    bool operator==(const Problema&) const = default;
};

// Where a verification stands; told from the worker threads.
struct AvanceVerificacion {
    qint64 archivos = 0, archivosTotal = 0;
    qint64 bytes = 0, bytesTotal = 0;
};

struct Informe {
    QList<Problema> problemas; // in a stable order: by component, then by path
    qint64 archivos = 0;       // files checked
    qint64 bytes = 0;          // bytes hashed
    std::chrono::milliseconds duracion{};
    bool cancelado = false; // stopped before the end: the problems are not the whole story
    bool sano() const { return problemas.isEmpty() && !cancelado; }
};

// Verifies the runtime: the marker names `g.VERSION`; Python (started as the
// engine is) and ffmpeg run; every file each installed distribution's RECORD
// lists, and every file of the installer's own manifest, is there with its
// size and SHA-256. Hashing runs on `hilos` worker threads; the call blocks,
// so run it off the main thread. `parar` ends it promptly; `avance` may be
// called from any worker thread.
Informe verificar(const Globales& g, const std::atomic<bool>& parar,
                  const std::function<void(const AvanceVerificacion&)>& avance = {}, int hilos = 0);

// What the first maintenance screen tells about the installation.
struct Instalado {
    QString version; // the marker's, empty without one
    QString python;  // "3.12.7", empty when it does not run
    QString ffmpeg;  // "7.1", empty when it does not run or is absent
    int bibliotecas = 0;
    qint64 bytes = 0; // the runtime's size on disk (what removing it frees)
};
Instalado describir(const Globales& g);

// What a repair hands the installer in VARNO_REPARAR: "python", "ffmpeg" and
// "nombre==versión" for each broken library, space-separated; empty when
// nothing in the report can be repaired by reinstalling.
QString aReparar(const Informe& informe);

// The space on disk of the runtime's parts present in DATOS
// (`partes::presentes`), as a removal frees it.
qint64 tamanoDelMotor(const Globales& g);

// Sends the runtime's parts to the Trash, keeping DATOS/app and the logs.
// When the Trash cannot take all of it, or a link of the user's leads into
// it, nothing is removed. The bytes freed once the Trash is emptied, or why
// nothing was removed.
Resultado<qint64> eliminarMotor(const Globales& g);
// The same, refused while the engine answers: its files must not go while it
// runs from them.
Resultado<qint64> eliminarMotorCerrado(const Globales& g);

// A removal cut short (the program ended between setting the parts aside and
// the Trash taking them) leaves them gathered in one folder of DATOS: each goes
// back to its place. One whose place a later installation took again goes to
// the Trash, as was asked. A folder of that name that no removal made (a link,
// something of the user's) is left alone. Call it at start, before looking at
// what is installed (eliminarMotor calls it first too). Whether nothing a
// removal set aside is left over.
bool recuperarEliminacion(const Globales& g);
