// Verifying a runtime of about 1 GB (VARNO_BENCH_MB to change it): thousands
// of small files and a few of 10 to 100 MB in one library with its RECORD,
// against sha256sum over the same files with two processes, the page cache
// warm for both. Also one thread of libcrypto against QCryptographicHash.
#include "comun.h"
#include "maintenance/mantenimiento.h"
#include "maintenance/record.h"
#include "maintenance/sha256.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>

namespace {

// Builds the runtime; the files it holds.
QStringList construir(const Globales& g, qint64 total) {
    const QString sitio = g.DATOS + "/python/lib/python3.12/site-packages";
    escribirArchivo(g.PYTHON, "#!/bin/sh\necho 3.12.7\n", true);
    escribirArchivo(g.DATOS + "/instalado.txt", g.VERSION.toUtf8());
    escribirArchivo(g.DATOS + "/entorno.RECORD", "");
    QDir().mkpath(g.DATOS + "/app");
    QRandomGenerator azar(7);
    QStringList archivos;
    QByteArray record;
    const std::atomic<bool> nunca{false};
    const auto anadir = [&](const QString& relativa, qint64 tamano) {
        QByteArray datos(tamano, Qt::Uninitialized);
        azar.fillRange(reinterpret_cast<quint32*>(datos.data()), tamano / 4);
        escribirArchivo(sitio + "/" + relativa, datos);
        archivos << sitio + "/" + relativa;
        record += relativa.toUtf8() + "," +
                  columnaSha256(sha256DeArchivo(archivos.last(), nunca).digest) + "," +
                  QByteArray::number(tamano) + "\n";
    };
    // Nine tenths in big files (shared libraries, models), the rest small.
    qint64 grandes = 0;
    for (int i = 0; grandes < total * 9 / 10; ++i) {
        const qint64 t = std::min<qint64>(total * 9 / 10 - grandes, (10 + (i * 37) % 91) << 20);
        anadir(QString("lib/grande%1.so").arg(i), t & ~qint64(3));
        grandes += t;
    }
    for (int i = 0; grandes < total; ++i) {
        const qint64 t = 512 + azar.bounded(8192) * 4;
        anadir(QString("pkg%1/modulo%2.py").arg(i / 200).arg(i), t);
        grandes += t;
    }
    anadir("banco-1.0.dist-info/INSTALLER", 4); // what pip writes last but RECORD
    escribirArchivo(sitio + "/banco-1.0.dist-info/RECORD", record);
    return archivos;
}

double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    Laboratorio lab;
    QCoreApplication app(argc, argv);
    const qint64 mb = qEnvironmentVariableIntValue("VARNO_BENCH_MB") > 0
                          ? qEnvironmentVariableIntValue("VARNO_BENCH_MB")
                          : 1024;
    const Globales g = calcularGlobales(lab.casa.path(), lab.casa.path() + "/recursos");
    const QStringList archivos = construir(g, mb << 20);
    qint64 bytes = 0;
    for (const QString& a : archivos)
        bytes += QFileInfo(a).size();

    // sha256sum over the same files, two processes, 64 files each call.
    QByteArray lista = archivos.join(QChar(0)).toUtf8();
    const auto sumador = [&] {
        QProcess p;
        p.setProgram("/usr/bin/xargs");
        p.setArguments({"-0", "-P2", "-n", "64", "sha256sum"});
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start();
        p.write(lista);
        p.closeWriteChannel();
        p.waitForFinished(-1);
    };
    const std::atomic<bool> parar{false};
    std::vector<double> nuestro, suyo;
    sumador(); // warms the page cache for both
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        const Informe informe = verificar(g, parar, {}, 2);
        nuestro.push_back(t.nsecsElapsed() / 1e9);
        if (!informe.sano() || informe.bytes != bytes)
            qFatal("the runtime did not verify: %lld problems",
                   qlonglong(informe.problemas.size()));
        t.restart();
        sumador();
        suyo.push_back(t.nsecsElapsed() / 1e9);
    }
    const double a = mediana(nuestro), b = mediana(suyo);
    std::printf("Verifying %lld files, %.0f MB: %.2f s (%.0f MB/s); xargs -P2 sha256sum %.2f s: "
                "%.2f× (target ≤ 1.25×)\n",
                qlonglong(archivos.size()), bytes / 1e6, a, bytes / 1e6 / a, b, a / b);

    // One thread, the big files: the library the hashing uses against Qt's own.
    QElapsedTimer t;
    qint64 n = 0;
    t.start();
    for (const QString& f : archivos.mid(0, 4))
        n += sha256DeArchivo(f, parar).bytes;
    const double conLibreria = n / 1e6 / (t.nsecsElapsed() / 1e9);
    t.restart();
    for (const QString& f : archivos.mid(0, 4)) {
        QFile archivo(f);
        archivo.open(QIODevice::ReadOnly);
        QCryptographicHash h(QCryptographicHash::Sha256);
        h.addData(&archivo);
        volatile char primero = h.result().at(0);
        (void)primero;
    }
    const double conQt = n / 1e6 / (t.nsecsElapsed() / 1e9);
    std::printf("SHA-256, one thread: %.0f MB/s against QCryptographicHash %.0f MB/s (%.1f×)\n",
                conLibreria, conQt, conLibreria / conQt);
}
