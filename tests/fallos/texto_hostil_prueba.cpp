// Hostile text from the installer: markup, control characters, direction
// overrides, very long lines and invalid UTF-8 are shown as plain text without
// bidirectional formatting, cut to the window, and kept in the log byte for byte.
#include "banco.h"
#include "ui/vistas.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace {

const QString reintentar =
    QStringLiteral("Puedes reintentar: lo ya descargado no se vuelve a descargar.");

// Whether the characters from `desde` on are laid out left to right, as the
// label lays out its text.
bool deIzquierdaADerecha(const QString& texto, qsizetype desde, const QFont& fuente) {
    QTextLayout disposicion(texto, fuente);
    QTextOption opcion;
    opcion.setTextDirection(Qt::LeftToRight);
    disposicion.setTextOption(opcion);
    disposicion.beginLayout();
    QTextLine linea = disposicion.createLine();
    linea.setLineWidth(1e6);
    disposicion.endLayout();
    for (qsizetype i = desde; i + 1 < texto.size(); ++i)
        if (linea.cursorToX(int(i + 1)) <= linea.cursorToX(int(i)))
            return false;
    return true;
}

TEST(TextoHostil, SeMuestraLlanoYCortadoYSeRegistraTalCual) {
    struct Caso {
        const char* nombre;
        QByteArray linea; // as the script prints it, without its line break
        QString mostrada; // the detail line before the failure text is added
    };
    QByteArray combinados = "e";
    for (int i = 0; i < 9'999; ++i)
        combinados += "\xcc\x81";
    const Caso casos[] = {
        {"marcado", "<b>negrita</b> <a href='x'>enlace</a> &amp; <img src=x>",
         "<b>negrita</b> <a href='x'>enlace</a> &amp; <img src=x>"},
        {"caracteres de control", "a\x01z\x07\x1b[31mrojo\x1b[0m\x7f\x08fin",
         "a\x01z\x07\x1b[31mrojo\x1b[0m\x7f\x08fin"},
        {"sustitución de dirección",
         "\xe2\x80\xae"
         "atsil",
         QStringLiteral("atsil")},
        {"incrustación sin cerrar", "\xe2\x80\xab\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xe2\x81\xa7x",
         QStringLiteral("\u05E9\u05DC\u05D5\u05DD x")},
        {"aislamiento cerrado de más",
         "x\xe2\x81\xa9\xe2\x80\xae"
         "abc",
         QStringLiteral("xabc")},
        {"todos los formatos",
         "\xd7\x90\xe2\x81\xa6\xe2\x81\xa8\xe2\x80\xaa\xe2\x80\xac\xe2\x80\xad"
         "a\xe2\x81\xa9\xe2\x81\xa9",
         QStringLiteral("\u05D0a")},
        {"marcas de dirección", "\xe2\x80\x8f\xd8\xb3\xd9\x84\xd8\xa7\xd9\x85\xe2\x80\x8e ok",
         QStringLiteral("\u200F\u0633\u0644\u0627\u0645\u200E ok")},
        {"10 000 caracteres", QByteArray(10'000, 'x'), QString(160, u'x') + QChar(0x2026)},
        {"10 000 marcas sobre una letra", combinados, QString::fromUtf8(combinados)},
        {"UTF-8 inválido",
         "\xff\xfe"
         "abc\xc3(\xed\xa0\x80",
         QStringLiteral("\uFFFD\uFFFDabc\uFFFD(\uFFFD\uFFFD\uFFFD")},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        fallos::Banco b("cat @/linea\nexit 1\n");
        pruebas::escribir(b.home() + QStringLiteral("/linea"), c.linea + '\n');
        ASSERT_TRUE(b.correr());
        EXPECT_EQ(b.salida(), c.linea + '\n');
        const QString detalle = b.d->detalle->texto();
        EXPECT_EQ(detalle, c.mostrada + QStringLiteral("  —  ") + reintentar);

        // Drawn within the label however the text measures.
        const Etiqueta& e = *b.d->detalle;
        const QFont f = fuente(e.tamano(), e.peso(), &e);
        for (const QString& v : e.lineasVisibles())
            EXPECT_LE(QFontMetricsF(f).horizontalAdvance(v), e.width() + 0.5) << v.toStdString();
        // The program's own sentence after it still reads left to right.
        EXPECT_TRUE(deIzquierdaADerecha(detalle, detalle.indexOf(reintentar), f));
    }
}

} // namespace
