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

// Under AddressSanitizer memory use is not what a user sees.
#if defined(__SANITIZE_ADDRESS__)
#define SANITIZADO 1
#elif defined(__has_feature)
#define SANITIZADO __has_feature(address_sanitizer)
#endif

namespace {

// A field of /proc/self/status in bytes: VmRSS now, VmHWM the peak since "5"
// was written to clear_refs (or since the start where that is not allowed).
qint64 memoria(const char* campo) {
    for (const QByteArray& l : pruebas::leer("/proc/self/status").split('\n'))
        if (l.startsWith(campo))
            return l.mid(qstrlen(campo)).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
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
    if (pico.open(QIODevice::WriteOnly))
        pico.write("5");
    pico.close();
    const qint64 antes = memoria("VmRSS:");
    ASSERT_TRUE(b.correr());
    [[maybe_unused]] const qint64 crecio = memoria("VmHWM:") - antes;
    reloj.stop();

    // Nothing lost: after the header, exactly the script's bytes; the window
    // followed to the last line.
    const qint64 cabecera = b.registro().indexOf('\n') + 1;
    const qint64 total = QFileInfo(b.home() + "/salida").size();
    EXPECT_EQ(QProcess::execute("cmp", {QString("-i%1:0").arg(cabecera), b.d->g.REGISTRO,
                                        b.home() + "/salida"}),
              0);
    EXPECT_EQ(b.d->paso, 6);
    EXPECT_TRUE(b.d->detalle->texto().startsWith("la última línea  —  "));
#if !SANITIZADO
    // Far below the output, which as text in memory would be twice its size.
    if (antes > 0)
        EXPECT_LT(crecio, 32 * 1024 * 1024) << "peak grew by " << crecio / 1024 << " KiB";
#endif
    // Alive: the loop turned all through the flood, never stalling for a quarter of it.
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

// Whether the characters from `desde` on are laid out left to right, as the label lays them out.
bool deIzquierdaADerecha(const QString& texto, qsizetype desde, const QFont& fuente) {
    QTextLayout capa(texto, fuente);
    QTextOption opcion;
    opcion.setTextDirection(Qt::LeftToRight);
    capa.setTextOption(opcion);
    capa.beginLayout();
    QTextLine linea = capa.createLine();
    linea.setLineWidth(1e6);
    capa.endLayout();
    for (qsizetype i = desde; i + 1 < texto.size(); ++i)
        if (linea.cursorToX(int(i + 1)) <= linea.cursorToX(int(i)))
            return false;
    return true;
}

TEST(TextoHostil, SeMuestraLlanoYCortadoYSeRegistraTalCual) {
    const QString reintentar = "Puedes reintentar: lo ya descargado no se vuelve a descargar.";
    QByteArray marcas = "e";
    for (int i = 0; i < 9'999; ++i)
        marcas += "\xcc\x81";
    // The line as the script prints it, and as the failure screen shows it.
    const std::pair<QByteArray, QString> casos[] = {
        {"<b>negrita</b> <a href='x'>enlace</a> &amp; <img src=x>",
         "<b>negrita</b> <a href='x'>enlace</a> &amp; <img src=x>"},
        {"a\x01z\x07\x1b[31mrojo\x1b[0m\x7f\x08"
         "fin",
         "a\x01z\x07\x1b[31mrojo\x1b[0m\x7f\x08"
         "fin"},
        {"\xe2\x80\xae"
         "atsil \xe2\x80\xab\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xe2\x81\xa7x",
         QStringLiteral("atsil \u05E9\u05DC\u05D5\u05DD x")},
        {"x\xe2\x81\xa9\xe2\x80\xae"
         "abc",
         "xabc"},
        {"\xd7\x90\xe2\x81\xa6\xe2\x81\xa8\xe2\x80\xaa\xe2\x80\xac\xe2\x80\xad"
         "a\xe2\x81\xa9\xe2\x81\xa9",
         QStringLiteral("\u05D0a")},
        {"\xe2\x80\x8f\xd8\xb3\xd9\x84\xd8\xa7\xd9\x85\xe2\x80\x8e ok",
         QStringLiteral("\u200F\u0633\u0644\u0627\u0645\u200E ok")},
        {QByteArray(10'000, 'x'), QString(160, u'x') + QChar(0x2026)},
        {marcas, QString::fromUtf8(marcas)},
        {"\xff\xfe"
         "abc\xc3(\xed\xa0\x80",
         QStringLiteral("\uFFFD\uFFFDabc\uFFFD(\uFFFD\uFFFD\uFFFD")},
    };
    for (const auto& [linea, mostrada] : casos) {
        SCOPED_TRACE(linea.left(60).toStdString());
        fallos::Banco b("cat @/linea\nexit 1\n");
        pruebas::escribir(b.home() + "/linea", linea + '\n');
        ASSERT_TRUE(b.correr());
        EXPECT_EQ(b.salida(), linea + '\n');
        const Etiqueta& e = *b.d->detalle;
        EXPECT_EQ(e.texto(), mostrada + "  —  " + reintentar);
        // Drawn within the label however the text measures, and the program's
        // own sentence after it still reads left to right.
        const QFont f = fuente(e.tamano(), e.peso(), &e);
        for (const QString& v : e.lineasVisibles())
            EXPECT_LE(QFontMetricsF(f).horizontalAdvance(v), e.width() + 0.5) << v.toStdString();
        EXPECT_TRUE(deIzquierdaADerecha(e.texto(), e.texto().indexOf(reintentar), f));
    }
}

} // namespace
