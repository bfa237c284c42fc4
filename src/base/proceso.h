#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <optional>

// How a tool ran: what it wrote to standard output, decoded as UTF-8 with
// U+FFFD for bad bytes, and how it ended.
struct Corrida {
    QString salida;
    int estado = -1; // its exit status when it exited by itself; -1 otherwise
    bool bien() const { return estado == 0; }
};

// Long enough for any system tool VARNO runs; a tool still running then is stopped.
inline constexpr std::chrono::milliseconds limiteHerramienta{20000};

// The system's own folders of programs, the only PATH a child of VARNO gets.
inline constexpr char rutaDelSistema[] = "/usr/bin:/bin:/usr/sbin:/sbin";

// What a system tool is given of this program's environment: who the user is
// and where their folders are, with the system's PATH. Nothing a shell left
// behind (a library preloaded into every program, a PATH that finds another
// tool, a proxy) changes how it runs.
QProcessEnvironment entornoDeHerramienta(const QProcessEnvironment& propio);

// How `correr` runs a tool: by default, for up to `limiteHerramienta`, its
// standard error discarded, in this program's folder, with `entornoDeHerramienta`.
struct ComoCorrer {
    std::chrono::milliseconds limite = limiteHerramienta;
    bool conErrores = false; // its standard error read along with its output
    QString carpeta{};       // where it runs; empty for this program's working directory
    std::optional<QProcessEnvironment> entorno{};
    const std::atomic<bool>* parar = nullptr; // once set, the tool is stopped
};

// Runs a tool by its absolute path (no shell, no PATH lookup), with nothing on
// its standard input. A tool that cannot start, dies of a signal, outlives
// its limit or is stopped ends with estado -1.
Corrida correr(const QString& ejecutable, const QStringList& argumentos,
               const ComoCorrer& como = {});

// Whether the process `id` still runs or, with `grupo`, anything of the
// process group `id`. Zombies do not count: a detached process is not ours to
// reap, and where nothing reaps (a bare container's first process) an ended
// one would otherwise look alive for ever. Another user's process counts.
bool sigueVivo(qint64 id, bool grupo = false);
