#include "banco.h"
#include "base/proceso.h"
#include "base/texto.h"
#include "engine/motor.h"
#include "installer/instalacion.h"
#include "installer/protocolo.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

namespace {

// Half in short lines during the step that moves the bar, half without a line break.
TEST(Inundacion, CadaByteAlRegistro) {
    fallos::Banco b("{ printf '== 5/7 Las bibliotecas\\n'; "
                    "yes 'Downloading paquete-0123456789 (60.5MiB) ok' | head -c 100000000; "
                    "printf 'cola sin salto'; head -c 100000000 /dev/zero | tr '\\0' x; "
                    "printf '\\n== 6/7 Después\\nla última línea\\n'; } | tee @/salida\nexit 1\n");
    ASSERT_TRUE(b.correr());
    const qint64 cabecera = b.registro().indexOf('\n') + 1;
    EXPECT_EQ(QProcess::execute(
                  "cmp", {QString("-i%1:0").arg(cabecera), b.g.REGISTRO, b.home() + "/salida"}),
              0);
    EXPECT_TRUE(b.detalle()->texto().startsWith("la última línea  —  "));
}

// Where Qt's own replacement differs (one U+FFFD per byte, nothing for a sequence cut short, a
// mark at the start dropped): each maximal invalid subpart is one U+FFFD, and a second byte out
// of its lead's range ends the subpart at the lead (chunk by chunk: the encuadre fuzz target).
TEST(Decodificador, UnaSustitucionPorTrozoInvalido) {
    const QByteArray bytes = QByteArray::fromHex(
        "efbbbf c0af eda080 f4908080 e09f41 eda041 f08f41 f49041 f58041 e0a485 78 e282ac 79 f09080 "
        "7a ff f09f9880 f1808080 e282");
    EXPECT_EQ(decodificar(bytes),
              QStringView(u"\uFEFF\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"
                          u"\uFFFD\uFFFDA\uFFFD\uFFFDA\uFFFD\uFFFDA\uFFFD\uFFFDA\uFFFD\uFFFDA"
                          u"अx€y\uFFFDz\uFFFD😀\U00040000\uFFFD"));
}

// A run, heard only when the test hands its calls over.
struct Escucha {
    QTemporaryDir t;
    std::unique_ptr<Instalacion> corrida = std::make_unique<Instalacion>(
        Instalacion::Parametros{"/bin/bash",
                                t.filePath("guion"),
                                t.filePath("registro"),
                                QProcessEnvironment::systemEnvironment(),
                                std::chrono::seconds(10),
                                {}});
    QStringList oidas;
    int trozos = 0;
    std::optional<bool> fin;
    explicit Escucha(const QByteArray& guion) {
        pruebas::escribir(t.filePath("guion"), guion);
        QObject::connect(corrida.get(), &Instalacion::lineas, [this](const Trozo& t) {
            for (qsizetype i = 0; i < t.cuantas(); ++i)
                oidas.append(t.linea(i).toString());
            ++trozos;
        });
        QObject::connect(corrida.get(), &Instalacion::termino, [this](bool b) { fin = b; });
        corrida->arrancar();
    }
};

// While the window is behind, reading waits once eight chunks are on their way to it.
TEST(Inundacion, LaVentanaVaComoMuchoOchoTrozosDetras) {
    Escucha e("yes 'una línea más' | head -c 100000000\n");
    // Reading has stopped when the log has not grown for a second.
    const auto registrado = [&] { return QFileInfo(e.t.filePath("registro")).size(); };
    for (qint64 antes = -1; antes != registrado() || antes <= 0; QThread::msleep(1000))
        antes = registrado();
    // Only the calls queued before this one are delivered by it.
    QCoreApplication::sendPostedEvents(e.corrida.get(), QEvent::MetaCall);
    EXPECT_EQ(e.trozos, Instalacion::maximoEnCamino);
}

// Once the run is being torn down, its last words go to the log and nothing to the listener.
TEST(FinDelInstalador, NadaLlegaAlOyenteTrasDesmontar) {
    Escucha e(
        "trap 'echo interrumpido; exit 3' TERM\necho empieza\nwhile :; do sleep 0.05; done\n");
    ASSERT_TRUE(pruebas::esperarHasta([&] { return !e.oidas.isEmpty(); }));
    e.corrida.reset();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(std::pair(e.oidas, e.fin), std::pair(QStringList{"empieza"}, std::optional<bool>()));
    const QByteArray registro = pruebas::leer(e.t.filePath("registro"));
    EXPECT_TRUE(registro.startsWith("empieza\n") && registro.endsWith("\ninterrumpido\n"));
}

// What bash acts on before the script's first line never reaches the installer; the rest does.
TEST(Protocolo, ElInstaladorNoHeredaLoQueBashLeeAlArrancar) {
    QProcessEnvironment e;
    for (const char* v : {"BASH_ENV", "ENV", "SHELLOPTS", "BASHOPTS", "CDPATH", "GLOBIGNORE",
                          "POSIXLY_CORRECT", "TMOUT", "BASH_FUNC_f%%", "__BASH_FUNC<f>()",
                          "BASH_FUNCIONES", "MI_BASH_ENV", "VARNO_ORIGEN", "PATH", "VARNO_REPARAR"})
        e.insert(v, "x");
    const QStringList propio{"BASH_FUNCIONES=x", "MI_BASH_ENV=x",
                             "PATH=/usr/bin:/bin:/usr/sbin:/sbin", "VARNO_ORIGEN=/o"};
    // A repair is only the one VARNO asks for (a terminal's, in the end-to-end journey).
    EXPECT_EQ(entornoInstalador(e, "/o", "2").toStringList(),
              propio + QStringList{"VARNO_VERSION=2"});
}

// The log holds the run byte for byte, nothing the script started lives on, a retry starts clean.
// (How the failure's line is cleaned and cut, the encuadre fuzz target states for any text.)
TEST(FinDelInstalador, FallaAMitadYSeReintentaDeCero) {
    enum Montura { ninguna, soloLectura, discoLleno, cerrada }; // of the data folder
    const struct {
        const char* nombre;
        int senal; // sent to the script, or with a minus to its process group
        const char* fin = "wait";
        Montura montura = ninguna;
        const char* bundle = ""; // where VARNO runs, when not in the home folder's Applications
    } casos[] = {
        {"SIGKILL", SIGKILL},
        {"SIGKILL al grupo", -SIGKILL},
        {"sale con 0", 0, "exit 0"},
        // Run from the disk image, the Dock would keep a path that the eject takes away.
        {"sale con 0 desde la imagen", 0, "exit 0", ninguna, "/Volumes/VARNO/VARNO.app"},
        {"carpeta de solo lectura", 0, "exit 1", soloLectura},
        {"disco lleno", 0, "exit 1", discoLleno},
        {"carpeta cerrada con el registro abierto", 0, "exit 0", cerrada},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        const QByteArray salida =
            "== 3/7 Descargas\n" + QByteArray(300'000, 'x') + "\ndescargando\n";
        fallos::Banco b(QByteArray("echo '== 3/7 Descargas'\nhead -c 300000 /dev/zero | tr '\\0' x"
                                   "\necho\necho descargando\nsleep 60 &\necho $$ $! > @/pids\n") +
                            c.fin,
                        c.bundle);
        pruebas::escribir(b.g.herramientas.defaults, "#!/bin/sh\n", true); // the Dock takes VARNO
        const QString datos = b.g.DATOS;
        for (const QString& r : {b.g.REGISTRO, b.home() + "/registro"})
            pruebas::escribir(r, "VARNO 1.0: instalación 2020-01-01 00:00:00 +0000\nvieja\n");
        std::list<fallos::Montaje> m;
        if (c.montura == soloLectura || c.montura == discoLleno)
            m.emplace_back(datos, QString(), c.montura == soloLectura ? MS_RDONLY : 0, "size=128k");
        if (c.montura == cerrada) {
            m.emplace_back(datos, datos, MS_RDONLY);
            m.emplace_back(b.g.REGISTRO, b.home() + "/registro", 0);
        }
        for (const auto& x : m)
            if (x.error) // mounting is not permitted here
                GTEST_SKIP() << "no se puede montar aquí: " << std::strerror(x.error);
        b.d->alBoton();
        ASSERT_TRUE(pruebas::esperarHasta([&] { return !b.pids().isEmpty(); }));
        const pid_t guion = b.pids()[0].toInt(), descarga = b.pids()[1].toInt();
        ASSERT_TRUE(!c.senal || ::kill(c.senal > 0 ? guion : -guion, std::abs(c.senal)) == 0);
        ASSERT_TRUE(b.esperarFin());
        const qsizetype cabe = c.montura == soloLectura  ? 0
                               : c.montura == discoLleno ? 128 << 10
                                                         : 1 << 30;
        EXPECT_EQ(b.salida(), salida.left(qMin(b.salida().size(), cabe)));
        EXPECT_EQ(b.registro().startsWith("VARNO 2.0: instalación "), cabe > 0);
        EXPECT_GE(b.registro().size(), qMin(cabe / 2, salida.size()));
        const bool bien = b.instalado();
        EXPECT_EQ(bien, c.fin == QByteArray("exit 0"));
        // In the Dock once a first installation from Applications ends well, and said only then.
        EXPECT_EQ(b.detalle()->texto().contains("Quedó en el Dock"), bien && !*c.bundle);
        if (!bien) {
            const Etiqueta& e = *b.detalle();
            EXPECT_TRUE(e.texto().startsWith("descargando  —  Puedes reintentar"))
                << e.texto().left(200).toStdString();
            b.cambiarGuion("echo '== 7/7 Listo'\necho reintento\nexit 0\n");
            ASSERT_TRUE(b.correr());
            EXPECT_TRUE(b.instalado());
            EXPECT_EQ(b.salida(), cabe ? "== 7/7 Listo\nreintento\n" : "");
        }
        // Nothing a failed run started is left to write into the data folder beside the retry.
        EXPECT_EQ(sigueVivo(descarga), bien);
        ::kill(descarga, SIGKILL);
    }
}

// A delegate that goes away without a cancel stops the run as a confirmed close does. (The bundled
// installer's own cleanup on that signal is the random kills' "cerrar ventana", in
// prueba_matar.py.)
TEST(FinDelInstalador, CancelarDejaQueElGuionLimpieDentroDelPlazo) {
    const QByteArray espera = "sleep 600 &\necho $$ $! > @/pids\nwait\n";
    const QByteArray atrapa = "trap 'sleep 1; echo ultima; exit 143' TERM\n" + espera;
    const struct {
        QByteArray guion;
        bool cerrar;     // closed and the cancel confirmed
        const char* fin; // how the log ends
    } casos[] = {
        {atrapa, true, "ultima\n"},
        {atrapa, false, "ultima\n"},
        {"trap '' TERM\necho sigo\n" + espera, true, "sigo\n"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.fin);
        fallos::Banco b(c.guion);
        b.d->ventana()->show();
        b.d->alBoton();
        ASSERT_TRUE(pruebas::esperarHasta([&] { return !b.pids().isEmpty(); }));
        const QList<QByteArray> vivos = b.pids();
        QTimer reloj; // confirms the question the close asks
        pruebas::responder(reloj, int(Qt::Key_Return));
        EXPECT_TRUE(!c.cerrar || b.d->ventana()->close());
        b.d.reset();
        EXPECT_TRUE(pruebas::leer(b.g.REGISTRO).endsWith(c.fin))
            << pruebas::leer(b.g.REGISTRO).right(300).toStdString();
        for (const QByteArray& pid : vivos)
            EXPECT_FALSE(sigueVivo(pid.toLongLong())) << pid.toStdString();
    }
}

} // namespace
