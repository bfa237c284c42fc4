#include "comun/comun.h"
#include "engine/correr.h"
#include "placement/colocacion.h"

namespace {

// Only a tool that exits by itself with 0 succeeds; one that outlives its limit is stopped.
TEST(Herramientas, ComoTerminoCadaUna) {
    QTemporaryDir t;
    const std::tuple<const char*, QByteArray, int> casos[] = {
        {"bien", "echo hola", 0},
        {"estado 3 tras escribir", "echo hola; exit 3", 3},
        {"muerta por una señal", "echo hola; kill -KILL $$", -1},
        {"más allá del límite", "echo hola; exec sleep 30", -1},
        {"pregunta y no recibe respuesta", "read r && echo \"$r\"; exit 4", 4},
    };
    for (const auto& [nombre, guion, estado] : casos) {
        SCOPED_TRACE(nombre);
        pruebas::escribir(t.path() + "/h", "#!/bin/sh\n" + guion + "\n", true);
        const Corrida c = correr(t.path() + "/h", {}, std::chrono::milliseconds(1500));
        EXPECT_EQ(c.estado, estado);
    }
    EXPECT_EQ(correr(t.path() + "/no-existe", {}).estado, -1);
}

TEST(Herramientas, SoloSeExpulsaUnaImagenDeDisco) {
    const QString info =
        "image-path      : /Users/a/VARNO.dmg\n"
        "/dev/disk4          \tGUID_partition_scheme          \t\n"
        "/dev/disk4s1        \tApple_HFS                      \t/Volumes/VARNO 1.0\n";
    const std::tuple<const char*, bool> casos[] = {
        {"/Volumes/VARNO 1.0", true},    {"/Volumes/VARNO 1.0/", true}, {"/Volumes/VARNO", false},
        {"/Volumes/VARNO 1.0 2", false}, {"/Users/a/VARNO.dmg", false}, {"", false},
    };
    for (const auto& [volumen, imagen] : casos)
        EXPECT_EQ(esImagenMontada(volumen, info), imagen) << volumen;
}

TEST(Herramientas, ElDockSoloCuandoSeEscribio) {
    const std::tuple<const char*, const char*, bool, const char*> casos[] = {
        // (what `defaults read` does, `defaults write`'s status, told, calls)
        {"echo '(file:///Applications/VARNO.app/)'", "0", true, "read"},
        {"exit 1", "0", true, "read write Dock"},
        {"echo '()'", "1", false, "read write"},
    };
    for (const auto& [lectura, escritura, bien, llamadas] : casos) {
        SCOPED_TRACE(lectura);
        QTemporaryDir t;
        Herramientas h;
        h.defaults = t.path() + "/defaults", h.killall = t.path() + "/killall";
        const QByteArray nota = "printf '%s ' \"${1:-${0##*/}}\" >> \"${0%/*}/llamadas\"\n";
        pruebas::escribir(h.defaults,
                          "#!/bin/sh\n" + nota + "[ \"$1\" = write ] && exit " + escritura + "\n" +
                              lectura + "\n",
                          true);
        pruebas::escribir(h.killall, "#!/bin/sh\n" + nota, true);
        EXPECT_EQ(ponerEnElDock("/Applications/VARNO.app", h), bien);
        EXPECT_EQ(pruebas::leer(t.path() + "/llamadas").trimmed(), llamadas);
    }
}

} // namespace
