#include "base/proceso.h"
#include "comun/comun.h"
#include "placement/colocacion.h"

#include <QXmlStreamReader>
#include <sys/wait.h>

namespace {

// Only a tool that exits by itself with 0 succeeds; one that outlives its limit is stopped. (One
// told to stop is stopped at once: verification's stops, in verificacion_prueba.cpp.)
TEST(Herramientas, ComoTerminoCadaUna) {
    QTemporaryDir t;
    const std::tuple<const char*, QByteArray, int> casos[] = {
        {"muerta por una señal", "echo hola; kill -KILL $$", -1},
        {"más allá del límite", "echo hola; exec sleep 30", -1},
        {"pregunta y no recibe respuesta", "read r && echo \"$r\"; exit 4", 4},
    };
    for (const auto& [nombre, guion, estado] : casos) {
        SCOPED_TRACE(nombre);
        pruebas::escribir(t.path() + "/h", "#!/bin/sh\n" + guion + "\n", true);
        const Corrida c = correr(t.path() + "/h", {}, {.limite = std::chrono::milliseconds(1500)});
        EXPECT_EQ(c.estado, estado);
    }
    EXPECT_EQ(correr(t.path() + "/no-existe", {}).estado, -1);
}

// A tool gets the user and their folders with the system's PATH, and nothing else of ours.
TEST(Herramientas, SoloElUsuarioYLaRutaDelSistema) {
    const QByteArray ruta = qgetenv("PATH"), casa = qgetenv("HOME");
    qputenv("LD_PRELOAD", "/no/hay.so"), qputenv("http_proxy", "http://127.0.0.1:9");
    qputenv("PATH", "/otra"), qputenv("HOME", "/casa");
    const QStringList dado = correr("/usr/bin/env", {}).salida.split('\n', Qt::SkipEmptyParts);
    qunsetenv("LD_PRELOAD"), qunsetenv("http_proxy"), qputenv("PATH", ruta), qputenv("HOME", casa);
    EXPECT_TRUE(dado.contains("HOME=/casa") && dado.contains("PATH=/usr/bin:/bin:/usr/sbin:/sbin"));
    static const QRegularExpression otra("^(?!(HOME|USER|LOGNAME|TMPDIR|XDG_\\w+|PATH)=)");
    EXPECT_EQ(dado.filter(otra), QStringList());
}

// A process, or what is left of its group, counts while it runs; once ended, reaped or not, never.
TEST(Herramientas, VivoMientrasCorre) {
    for (const bool grupo : {false, true}) {
        const pid_t hijo = ::fork();
        if (hijo == 0)
            ::setpgid(0, 0), ::pause(), ::_exit(0);
        ::setpgid(hijo, hijo); // whichever of the two comes first
        EXPECT_TRUE(sigueVivo(hijo, grupo)) << grupo;
        siginfo_t fin{};
        ::kill(hijo, SIGKILL), ::waitid(P_PID, id_t(hijo), &fin, WEXITED | WNOWAIT); // a zombie
        EXPECT_FALSE(sigueVivo(hijo, grupo)) << grupo;
        ::waitpid(hijo, nullptr, 0);
        EXPECT_FALSE(sigueVivo(hijo, grupo)) << grupo;
    }
    // 0 and -1 name no process to kill(); the first process does count.
    EXPECT_TRUE(!sigueVivo(0, true) && !sigueVivo(0) && !sigueVivo(-1) && sigueVivo(1));
}

TEST(Herramientas, ElDockSoloCuandoSeEscribio) {
    const std::tuple<const char*, const char*, const char*, bool, const char*> casos[] = {
        // (where VARNO runs, what `defaults read` does, `defaults write`'s status, told, calls)
        {"/Applications/R&D/VARNO.app", "echo '(file:///Applications/VARNO.app/)'", "0", true,
         "read"},
        {"/casa/Applications/R&D/VARNO.app", "exit 1", "0", true, "read write Dock"},
        {"/Applications/R&D/VARNO.app", "echo '()'", "1", false, "read write"},
        // Gone after the eject, or once the translocation ends.
        {"/Volumes/VARNO/VARNO.app", "echo '()'", "0", false, ""},
        {"/private/var/folders/x/AppTranslocation/1/d/VARNO.app", "echo '()'", "0", false, ""},
    };
    for (const auto& [bundle, lectura, escritura, bien, llamadas] : casos) {
        SCOPED_TRACE(std::string(bundle) + " · " + lectura);
        QTemporaryDir t;
        Herramientas h;
        h.defaults = t.path() + "/defaults", h.killall = t.path() + "/killall";
        for (const QString& herramienta : {h.defaults, h.killall}) // killall is told "Dock"
            pruebas::escribir(
                herramienta,
                "#!/bin/sh\ncd \"${0%/*}\"; printf '%s ' \"$1\" >> llamadas\n"
                "[ \"$1 $2 $3 $4\" = 'write com.apple.dock persistent-apps -array-add' ] && "
                "printf %s \"$5\" > entrada && exit " +
                    QByteArray(escritura) + "\n" + lectura + "\n",
                true);
        EXPECT_EQ(ponerEnElDock(bundle, "/casa", h), bien);
        EXPECT_EQ(pruebas::leer(t.path() + "/llamadas").trimmed(), llamadas);
        // The entry written is XML that names the folder as it is.
        QXmlStreamReader xml(pruebas::leer(t.path() + "/entrada"));
        while (!xml.atEnd() && xml.name() != u"string")
            xml.readNext();
        EXPECT_TRUE(!QByteArray(llamadas).contains("write") ||
                    (xml.readElementText() == urlDeCarpeta(bundle) && !xml.hasError()));
    }
    EXPECT_EQ(urlDeCarpeta("/Applications/R&D/VARNO.app"), "file:///Applications/R&D/VARNO.app/");
}

} // namespace
