#include "comun/comun.h"
#include "maintenance/mantenimiento.h"
#include "maintenance/record.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using pruebas::escribir;

// Every case runs with what a user's environment may hold that points Python elsewhere.
[[maybe_unused]] const bool conEntornoDelUsuario = [] {
    for (const char* v : {"PYTHONPATH", "PYTHONHOME", "VIRTUAL_ENV", "CONDA_PREFIX", "VARNO_APP",
                          "CONDA_DEFAULT_ENV", "__PYVENV_LAUNCHER__", "MI_PYTHONPATH", "python"})
        qputenv(v, "x");
    return true;
}();

// A small runtime as the installer leaves it: an interpreter that answers, and loads the engine,
// only when started as the engine is (none of those, VARNO_APP naming this bundle), ffmpeg, one
// library with its RECORD, manifest and marker.
struct Motor {
    pruebas::Casa casa;
    Globales g = casa.globales();
    QString sitio = g.DATOS + "/python/lib/python3.12/site-packages";

    QString fila(const QString& ruta, const QString& relativa) const {
        const QByteArray b = pruebas::leer(ruta);
        const QByteArray suma = QCryptographicHash::hash(b, QCryptographicHash::Sha256);
        return relativa + "," + columnaSha256(suma) + "," + QString::number(b.size()) + "\n";
    }
    Motor() {
        escribir(g.DATOS + "/app/.guardar", "");
        const QByteArray aparte = "$PYTHONPATH$PYTHONHOME$VIRTUAL_ENV$CONDA_PREFIX"
                                  "$CONDA_DEFAULT_ENV$__PYVENV_LAUNCHER__";
        escribir(g.PYTHON,
                 "#!/bin/sh\n[ \"$PWD\" = \"" + g.DATOS.toUtf8() + "/app\" ] || exit 1\n[ -z \"" +
                     aparte + "\" ] && [ \"$MI_PYTHONPATH$python\" = xx ] || exit 1\n" +
                     "case \"$*\" in\n'-I -c '*) echo 3.12.7 ;;\n'-I -m motor --comprobar') " +
                     "[ \"$VARNO_APP\" = '" + g.BUNDLE.toUtf8() +
                     "' ] && [ ! -e motor ] ;;\n*) exit 1 ;;\nesac\n",
                 true);
        QFile::link("python", g.DATOS + "/python/bin/python3");
        escribir(g.DATOS + "/bin/ffmpeg", "#!/bin/sh\necho 'ffmpeg version n7.1-static'\n", true);
        escribir(sitio + "/demo/__init__.py", "import os\n");
        escribir(sitio + "/demo/con, \"coma\".py", "x = 1\n");
        escribir(sitio + "/demo/datos.bin", QByteArray(3 << 20, 'd'));
        escribir(g.DATOS + "/python/bin/demo", "#!/bin/sh\n", true);
        escribir(sitio + "/demo-1.0.dist-info/METADATA",
                 "Metadata-Version: 2.1\nName: Demo\nVersion: 1.0\n");
        escribir(sitio + "/demo-1.0.dist-info/INSTALLER", "pip\n");
        QString record;
        for (const QString r : {"demo/__init__.py", "demo/datos.bin", "../../../bin/demo",
                                "demo-1.0.dist-info/INSTALLER"})
            record += fila(sitio + "/" + r, r);
        record +=
            "\"demo/con, \"\"coma\"\".py\"," + fila(sitio + "/demo/con, \"coma\".py", "").mid(1);
        record += "demo/__pycache__/x.cpython-312.pyc,,\ndemo-1.0.dist-info/RECORD,,\n";
        escribir(sitio + "/demo-1.0.dist-info/RECORD", record.toUtf8());
        escribir(g.DATOS + "/instalado.txt", "1.0.0\n");
        manifiesto();
    }
    // What the installer's last step writes, from the files as they are now.
    void manifiesto() const {
        const QString record = "python/lib/python3.12/site-packages/demo-1.0.dist-info/RECORD";
        escribir(g.DATOS + "/entorno.RECORD",
                 (fila(g.PYTHON, "python/bin/python") +
                  fila(g.DATOS + "/bin/ffmpeg", "bin/ffmpeg") +
                  "python/bin/python3,enlace=python,\n" + fila(g.DATOS + "/" + record, record))
                     .toUtf8());
    }
    void anadirAlRecord(const QByteArray& lineas) const {
        const QString record = sitio + "/demo-1.0.dist-info/RECORD";
        escribir(record, pruebas::leer(record) + lineas);
        manifiesto();
    }
};

const QString DEMO = "Demo 1.0: python/lib/python3.12/site-packages/";

TEST(Verificacion, CadaDanoEsUnProblemaYNadaSeLeeFueraDelMotor) {
    QTemporaryDir fuera;
    ASSERT_EQ(::mkfifo(qPrintable(fuera.filePath("tubo")), 0600), 0);
    const QByteArray hashDelTubo = ",sha256=" + QByteArray(43, 'A') + ",5\n";
    const QByteArray hondo(250, 'h');
    const struct {
        const char* que;
        std::function<void(const Motor&)> danar;
        QStringList problemas;
        std::function<void(const Motor&)> durante = {}; // once the work is planned
    } casos[] = {
        {"sano", [](const Motor&) {}, {}},
        {"un byte cambiado",
         [](const Motor& m) {
             QFile f(m.sitio + "/demo/datos.bin");
             f.open(QIODevice::ReadWrite), f.seek(2 << 20), f.write("e");
         },
         {DEMO + "demo/datos.bin: su contenido cambió."}},
        {"su tamaño y uno borrado",
         [](const Motor& m) {
             escribir(m.sitio + "/demo/con, \"coma\".py", "x = 12\n");
             QFile::remove(m.sitio + "/demo/__init__.py");
         },
         {DEMO + "demo/__init__.py: falta.", DEMO + "demo/con, \"coma\".py: su tamaño cambió."}},
        {"RECORD mal citado y mala base64",
         [](const Motor& m) {
             m.anadirAlRecord("demo/a.py,sha256=" + QByteArray(43, '!') +
                              ",1\n"
                              "\"demo/b.py,,\n\"demo/c\"x.py,,\n" +
                              "demo/d.py,sha256=" + QByteArray(43, 'A') + "=,1\n");
         },
         {DEMO + "demo-1.0.dist-info/RECORD: su RECORD está dañado (línea 8).",
          DEMO + "demo-1.0.dist-info/RECORD: su RECORD está dañado (línea 9).",
          DEMO + "demo-1.0.dist-info/RECORD: su RECORD está dañado (línea 10).",
          DEMO + "demo-1.0.dist-info/RECORD: su RECORD está dañado (línea 11)."}},
        {"entradas fuera del motor",
         [&](const Motor& m) {
             QFile::link(fuera.path(), m.sitio + "/demo/fuera");
             m.anadirAlRecord("../../../../../../tubo" + hashDelTubo + "demo/fuera/tubo" +
                              hashDelTubo + fuera.filePath("tubo").toUtf8() + hashDelTubo);
         },
         {"Demo 1.0: ../../../../../../tubo: apunta fuera del motor.",
          "Demo 1.0: " + fuera.filePath("tubo") + ": apunta fuera del motor.",
          DEMO + "demo/fuera/tubo: apunta fuera del motor.",
          "Python: python/lib/python3.12/site-packages/demo/fuera: apunta fuera del motor."}},
        {"enlaces del manifiesto",
         [](const Motor& m) {
             QFile::remove(m.g.DATOS + "/python/bin/python3");
             QFile::link("/usr/bin/python3", m.g.DATOS + "/python/bin/python3");
         },
         {"Python: python/bin/python3: su contenido cambió."}},
        {"ilegibles: una carpeta y un enlace roto",
         [](const Motor& m) {
             QFile::remove(m.sitio + "/demo/datos.bin");
             QDir().mkpath(m.sitio + "/demo/datos.bin");
             QFile::remove(m.sitio + "/demo/__init__.py");
             QFile::link("nada.py", m.sitio + "/demo/__init__.py");
         },
         {DEMO + "demo/__init__.py: no se puede leer.",
          DEMO + "demo/datos.bin: no se puede leer."}},
        {"sin manifiesto ni app",
         [](const Motor& m) {
             QFile::remove(m.g.DATOS + "/entorno.RECORD");
             QDir(m.g.DATOS + "/app").removeRecursively();
         },
         {"Python: app: falta.", "Python: entorno.RECORD: falta."}},
        {"una biblioteca borrada entera",
         [](const Motor& m) {
             QDir(m.sitio + "/demo").removeRecursively();
             QDir(m.sitio + "/demo-1.0.dist-info").removeRecursively();
         },
         {"demo 1.0: python/lib/python3.12/site-packages/demo-1.0.dist-info/RECORD: falta."}},
        {"site-packages cambiado por un enlace",
         [&](const Motor& m) {
             QDir().rename(m.sitio, fuera.filePath("sitio"));
             QFile::link(fuera.filePath("sitio"), m.sitio);
         },
         {"Python: python/lib/python3.12/site-packages: apunta fuera del motor.",
          "demo 1.0: python/lib/python3.12/site-packages/demo-1.0.dist-info/RECORD: apunta fuera "
          "del motor."}},
        {"instalación a medias: su RECORD no lista INSTALLER",
         [](const Motor& m) {
             QByteArrayList filas =
                 pruebas::leer(m.sitio + "/demo-1.0.dist-info/RECORD").split('\n');
             filas.removeIf([](const QByteArray& f) { return f.contains("/INSTALLER,"); });
             escribir(m.sitio + "/demo-1.0.dist-info/RECORD", filas.join('\n'));
             m.manifiesto();
         },
         {"Demo 1.0: python/lib/python3.12/site-packages/demo-1.0.dist-info: su instalación quedó "
          "a medias."}},
        {"saltos y escapes en un nombre",
         [](const Motor& m) { m.anadirAlRecord("\"demo/x\nDemo 1.0: sano.\x1b[2J\",,\n"); },
         {DEMO + "demo/x\xEF\xBF\xBD"
                 "Demo 1.0: sano.\xEF\xBF\xBD[2J: falta."}},
        {"el intérprete no arranca",
         [](const Motor& m) {
             escribir(m.g.PYTHON, "#!/bin/sh\nexit 1\n", true);
             m.manifiesto();
         },
         {"Python: python/bin/python: no arranca."}},
        {"el motor no se carga",
         [](const Motor& m) { QDir().mkpath(m.g.DATOS + "/app/motor"); },
         {"varno-motor 1.0.0: no se puede cargar."}},
        {"un enlace más hondo que PATH_MAX",
         [&](const Motor& m) {
             int fd = ::open(qPrintable(m.g.DATOS + "/python"), O_RDONLY | O_DIRECTORY);
             for (int i = 0; i < 20; ++i) {
                 ::mkdirat(fd, hondo.constData(), 0700);
                 const int abajo = ::openat(fd, hondo.constData(), O_RDONLY | O_DIRECTORY);
                 ::close(fd);
                 fd = abajo;
             }
             EXPECT_EQ(::symlinkat("/", fd, "fuera"), 0);
             ::close(fd);
         },
         {"Python: python/" + QString(QByteArrayList(20, hondo).join('/')) +
          "/fuera: apunta fuera del motor."}},
        {"una carpeta cambiada por un enlace durante la verificación",
         [](const Motor&) {},
         {DEMO + "demo/__init__.py: apunta fuera del motor.",
          DEMO + "demo/con, \"coma\".py: apunta fuera del motor.",
          DEMO + "demo/datos.bin: apunta fuera del motor."},
         [&](const Motor& m) {
             QDir().rename(m.sitio + "/demo", fuera.filePath("demo"));
             QFile::link(fuera.filePath("demo"), m.sitio + "/demo");
         }},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.que);
        Motor m;
        c.danar(m);
        std::atomic<bool> parar{false};
        AvanceVerificacion ultimo;
        const auto avance = [&](const AvanceVerificacion& a) {
            if (c.durante && !ultimo.archivosTotal) // the first report, before any file is read
                c.durante(m);
            ultimo = a;
        };
        const Informe i = verificar(m.g, parar, avance, 2);
        QStringList lineas;
        for (const Problema& p : i.problemas)
            lineas << p.linea();
        EXPECT_EQ(lineas.join('\n').toStdString(), c.problemas.join('\n').toStdString());
        EXPECT_EQ(ultimo.archivos, ultimo.archivosTotal);
        EXPECT_EQ(ultimo.bytes, ultimo.bytesTotal);
        if (c.problemas.join("").contains(hondo)) // deeper than QTemporaryDir can remove
            QProcess::execute("rm", {"-rf", m.g.DATOS + "/python/" + hondo});
    }
}

} // namespace

// RECORDs built to make verification slow or large: it stays linear, hashes each file once and
// keeps its report short, saying what it left out.
TEST(Verificacion, RecordsHostilesAcabanPronto) {
    const Motor muestra;
    const QByteArray datos =
        muestra.fila(muestra.sitio + "/demo/datos.bin", "demo/datos.bin").toUtf8();
    const struct {
        const char* que;
        QByteArray lineas;
        QString ultima;
        QByteArray nombre = "Demo"; // the library's, as its METADATA gives it
    } casos[] = {
        {"una comilla que nunca cierra, en un nombre con un escape",
         QByteArray("x\",\"\n").repeated(40'000), "De\uFFFDmo 1.0: y 39.900 problemas más.",
         "De\x1bmo"},
        {"un archivo listado muchas veces, y por otro nombre",
         datos.repeated(1000) + QByteArray(datos).replace("datos", "otro"), ""},
        {"más filas de las que se verifican", QByteArray("demo/__init__.py,,\n").repeated(300'001),
         DEMO + "demo-1.0.dist-info/RECORD: lista más archivos de los 300.000 que se verifican."},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.que);
        Motor m;
        ::link(qPrintable(m.sitio + "/demo/datos.bin"), qPrintable(m.sitio + "/demo/otro.bin"));
        m.anadirAlRecord(c.lineas);
        escribir(m.sitio + "/demo-1.0.dist-info/METADATA", "Name: " + c.nombre + "\nVersion: 1.0");
        std::atomic<bool> parar{false};
        const Informe i = verificar(m.g, parar, {}, 2);
        EXPECT_LT(i.duracion, std::chrono::seconds(10));
        EXPECT_LT(i.problemas.size(), 103);
        EXPECT_EQ((i.problemas.isEmpty() ? "" : i.problemas.last().linea()).toStdString(),
                  c.ultima.toStdString());
        EXPECT_LT(i.bytes, (4 << 20) + c.lineas.size()); // datos.bin once, and the RECORD
    }
}

// A stop is heard at once whatever stage is running: reading a RECORD of many rows, waiting for
// an engine that takes long to load, or reading a big file, whose progress is told as it goes.
TEST(Verificacion, SeParaEnCadaEtapa) {
    const std::function<void(const Motor&)> casos[] = {
        [](const Motor& m) { m.anadirAlRecord(QByteArray("x\",\"\n").repeated(12'000'000)); },
        [](const Motor& m) {
            escribir(
                m.g.PYTHON,
                "#!/bin/sh\ncase \"$*\" in '-I -c '*) echo 3.12.7 ;; *) exec sleep 60 ;; esac\n",
                true);
        },
        [](const Motor& m) { // 1 GiB without taking the disk's room
            escribir(m.sitio + "/demo/grande.bin", "");
            QFile::resize(m.sitio + "/demo/grande.bin", 1LL << 30);
            m.anadirAlRecord("demo/grande.bin,sha256=" + QByteArray(43, 'A') + ",1073741824\n");
        },
    };
    for (const auto& danar : casos) {
        Motor m;
        danar(m);
        std::atomic<bool> parar{false};
        std::thread t(
            [&] { std::this_thread::sleep_for(std::chrono::milliseconds(300)), parar = true; });
        AvanceVerificacion antes;
        bool dentro = false; // told while one file is read
        const auto avance = [&](const AvanceVerificacion& a) {
            dentro = dentro || (a.archivos == antes.archivos && a.bytes > antes.bytes);
            antes = a;
        };
        QElapsedTimer reloj;
        reloj.start();
        const Informe i = verificar(m.g, parar, avance, 1);
        t.join();
        const bool grande = &danar == &casos[2];
        EXPECT_TRUE(i.cancelado && !i.sano()) << &danar - casos;
        EXPECT_LT(reloj.elapsed(), 1500) << &danar - casos;
        EXPECT_TRUE(!grande || (dentro && i.archivos < antes.archivosTotal));
    }
}
