// An installer that floods its output: every byte reaches the log, memory
// stays bounded, and the window keeps turning.
#include "banco.h"
#include "ui/vistas.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

// Under AddressSanitizer memory use is not what a user sees.
#if defined(__SANITIZE_ADDRESS__)
#define SANITIZADO 1
#elif defined(__has_feature)
#define SANITIZADO __has_feature(address_sanitizer)
#endif

namespace {

// A line of /proc/self/status in bytes: VmRSS now, VmHWM the peak since the
// last write of "5" to clear_refs.
qint64 memoria(const char* campo) {
    QFile estado(QStringLiteral("/proc/self/status"));
    if (estado.open(QIODevice::ReadOnly))
        for (const QByteArray& l : estado.readAll().split('\n'))
            if (l.startsWith(campo))
                return l.mid(qstrlen(campo)).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

TEST(Inundacion, CadaByteAlRegistroConMemoriaAcotadaYLaVentanaViva) {
    // Half in short lines during the step that moves the bar, half without
    // any line break at all.
    fallos::Banco b("{ printf '== 5/7 Las bibliotecas\\n'; "
                    "yes 'Downloading paquete-0123456789 (60.5MiB) ok' | head -c 100000000; "
                    "printf 'cola sin salto'; head -c 100000000 /dev/zero | tr '\\0' x; "
                    "printf '\\n== 6/7 Después\\nla última línea\\n'; } | tee @/salida\n"
                    "exit 1\n");
    // The event loop's pulse: how far the log had got each time the timer fired.
    QList<qint64> pulsos;
    QTimer reloj;
    QObject::connect(&reloj, &QTimer::timeout,
                     [&] { pulsos.append(QFileInfo(b.d->g.REGISTRO).size()); });
    reloj.start(10);
    QFile pico(QStringLiteral("/proc/self/clear_refs"));
    if (pico.open(QIODevice::WriteOnly))
        pico.write("5");
    pico.close();
    const qint64 antes = memoria("VmRSS:");
    ASSERT_TRUE(b.correr(std::chrono::minutes(4)));
    [[maybe_unused]] const qint64 crecio = memoria("VmHWM:") - antes;
    reloj.stop();
    const QString salida = b.home() + QStringLiteral("/salida");
    const qint64 total = QFileInfo(salida).size();

    // Nothing lost: after the header, exactly the script's bytes; and the
    // window followed to the last line.
    const qint64 cabecera = b.registro().indexOf('\n') + 1;
    EXPECT_EQ(QProcess::execute(QStringLiteral("cmp"),
                                {QStringLiteral("-i%1:0").arg(cabecera), b.d->g.REGISTRO, salida}),
              0);
    EXPECT_EQ(b.d->paso, 6);
    EXPECT_TRUE(b.d->detalle->texto().startsWith(QStringLiteral("la última línea  —  ")))
        << b.d->detalle->texto().left(200).toStdString();
#if !SANITIZADO
    // Far below the output, which as text in memory would be twice its size.
    EXPECT_LT(crecio, 32 * 1024 * 1024) << "peak grew by " << crecio / 1024 << " KiB";
#endif

    // Alive: the loop turned all through the flood, never stalling for a
    // quarter of it.
    pulsos.append(cabecera + total);
    qint64 mayorSalto = 0;
    int durante = 0;
    for (qsizetype i = 1; i < pulsos.size(); ++i) {
        mayorSalto = qMax(mayorSalto, pulsos[i] - pulsos[i - 1]);
        durante += pulsos[i] > cabecera && pulsos[i] < cabecera + total;
    }
    EXPECT_GE(durante, 10);
    EXPECT_LT(mayorSalto, total / 4);
}

} // namespace
