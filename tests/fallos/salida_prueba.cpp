// What the installer prints, however much and however hostile: every byte to
// the log, memory bounded, the window alive, and text shown plain and cut.
#include "banco.h"
#include "ui/vistas.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QProcess>
#include <QTextLayout>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A field of /proc/self/status in KiB: VmRSS now, VmHWM the peak since "5" went to clear_refs.
qint64 memoria(const char* campo) {
    const QByteArray s = pruebas::leer("/proc/self/status");
    return s.mid(s.indexOf(campo) + qstrlen(campo)).trimmed().split(' ').value(0).toLongLong();
}

TEST(Inundacion, CadaByteAlRegistroConMemoriaAcotadaYLaVentanaViva) {
    // Half in short lines during the step that moves the bar, half without a line break.
    fallos::Banco b("{ printf '== 5/7 Las bibliotecas\\n'; "
                    "yes 'Downloading paquete-0123456789 (60.5MiB) ok' | head -c 100000000; "
                    "printf 'cola sin salto'; head -c 100000000 /dev/zero | tr '\\0' x; "
                    "printf '\\n== 6/7 Después\\nla última línea\\n'; } | tee @/salida\nexit 1\n");
    // The event loop's pulse: how far the log had got each time a timer fired.
    QList<qint64> pulsos;
    QTimer reloj;
    QObject::connect(&reloj, &QTimer::timeout,
                     [&] { pulsos.append(QFileInfo(b.d->g.REGISTRO).size()); });
    reloj.start(10);
    QFile pico("/proc/self/clear_refs");
    const bool medir = pico.open(QIODevice::WriteOnly) && pico.write("5") == 1 && pico.flush();
    const qint64 antes = memoria("VmRSS:");
    ASSERT_TRUE(b.correr());
    const qint64 crecio = memoria("VmHWM:") - antes;
    reloj.stop();

    // After the header, exactly the script's bytes; the window followed to the last line.
    const qint64 cabecera = b.registro().indexOf('\n') + 1,
                 total = QFileInfo(b.home() + "/salida").size();
    EXPECT_EQ(QProcess::execute(
                  "cmp", {QString("-i%1:0").arg(cabecera), b.d->g.REGISTRO, b.home() + "/salida"}),
              0);
    EXPECT_EQ(b.d->paso, 6);
    EXPECT_TRUE(b.d->detalle->texto().startsWith("la última línea  —  "));
#ifndef __SANITIZE_ADDRESS__ // whose bookkeeping is not what a user sees
    // Far below the output, which as text in memory would be twice its size.
    if (medir)
        EXPECT_LT(crecio, 32 * 1024) << "KiB";
#endif
    // The loop turned all through the flood, never stalling for a quarter of it.
    pulsos.append(cabecera + total);
    int durante = 0;
    for (qsizetype i = 1; i < pulsos.size(); ++i) {
        EXPECT_LT(pulsos[i] - pulsos[i - 1], total / 4);
        durante += pulsos[i] > cabecera && pulsos[i] < cabecera + total;
    }
    EXPECT_GE(durante, 10);
}

TEST(TextoHostil, SeMuestraLlanoYCortadoYSeRegistraTalCual) {
    const QString reintentar = "Puedes reintentar: lo ya descargado no se vuelve a descargar.";
    QByteArray marcas = "e";
    for (int i = 0; i < 9'999; ++i)
        marcas += "\xcc\x81";
    // The line as the script prints it, and as the failure screen shows it.
    const std::pair<QByteArray, QString> casos[] = {
        {"<b>x</b>&amp;\x01\x1b[31m\x7f\xff\xfe(\xc3(\xed\xa0\x80",
         QStringLiteral("<b>x</b>&amp;\x01\x1b[31m\x7f\uFFFD\uFFFD(\uFFFD(\uFFFD\uFFFD\uFFFD")},
        // Overrides, embeddings and isolates, open or closed too often; direction marks stay.
        {"x\u2069\u202Eabc \u202B\u05E9\u05DC\u05D5\u05DD "
         "\u2066\u2068\u202A\u202C\u202D\u2067\u200F!",
         QStringLiteral("xabc \u05E9\u05DC\u05D5\u05DD \u200F!")},
        {QByteArray(10'000, 'x'), QString(160, u'x') + QChar(0x2026)},
        {marcas, QString::fromUtf8(marcas)},
    };
    for (const auto& [linea, mostrada] : casos) {
        fallos::Banco b("cat @/linea\nexit 1\n");
        pruebas::escribir(b.home() + "/linea", linea + '\n');
        ASSERT_TRUE(b.correr());
        EXPECT_EQ(b.salida(), linea + '\n');
        const Etiqueta& e = *b.d->detalle;
        EXPECT_EQ(e.texto(), mostrada + "  —  " + reintentar);
        // Drawn within the label however the text measures.
        const QFont f = fuente(e.tamano(), e.peso(), &e);
        for (const QString& v : e.lineasVisibles())
            EXPECT_LE(QFontMetricsF(f).horizontalAdvance(v), e.width() + 0.5) << v.toStdString();
        // Laid out as the label lays it out, the program's own sentence reads left to right.
        QTextLayout capa(e.texto(), f);
        QTextOption izquierda;
        izquierda.setTextDirection(Qt::LeftToRight);
        capa.setTextOption(izquierda);
        capa.beginLayout();
        QTextLine l = capa.createLine();
        l.setLineWidth(1e6);
        capa.endLayout();
        for (qsizetype i = e.texto().indexOf(reintentar); i + 1 < e.texto().size(); ++i)
            ASSERT_LT(l.cursorToX(int(i)), l.cursorToX(int(i + 1))) << i;
    }
}

} // namespace
