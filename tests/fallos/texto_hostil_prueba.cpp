// Hostile text from the installer: markup, control characters, direction
// overrides, very long lines and invalid UTF-8 are shown as plain text, cut to
// the window, and kept in the log byte for byte.
#include "banco.h"
#include "ui/vistas.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace {

const QString reintentar =
    QStringLiteral("Puedes reintentar: lo ya descargado no se vuelve a descargar.");

// Whether the characters from `desde` on are laid out left to right, each one
// further right than the one before, as Spanish text must be. The label
// writes its text left to right, as here.
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
        QByteArray linea;     // as the script prints it, without its line break
        QString mostrada;     // the detail line before the failure text is added
        bool aislada = false; // it changes the direction of writing, so it is isolated
    };
    const QByteArray largo(10'000, 'x');
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
         QStringLiteral("\u202Eatsil"), true},
        {"incrustación sin cerrar", "\xe2\x80\xab\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xe2\x81\xa7x",
         QStringLiteral("\u202B\u05E9\u05DC\u05D5\u05DD \u2067x"), true},
        {"marcas de dirección", "\xe2\x80\x8f\xd8\xb3\xd9\x84\xd8\xa7\xd9\x85\xe2\x80\x8e ok",
         QStringLiteral("\u200F\u0633\u0644\u0627\u0645\u200E ok")},
        {"10 000 caracteres", largo, QString(160, u'x') + QChar(0x2026)},
        {"10 000 marcas sobre una letra", combinados, QString::fromUtf8(combinados)},
        {"UTF-8 inválido",
         "\xff\xfe"
         "abc\xc3(\xed\xa0\x80",
         QStringLiteral("\uFFFD\uFFFDabc\uFFFD(\uFFFD\uFFFD\uFFFD")},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        fallos::Banco b("");
        const QString archivo = b.home() + QStringLiteral("/linea");
        pruebas::escribir(archivo, c.linea + '\n');
        b.cambiarGuion("cat " + fallos::comillas(archivo) + "\nexit 1\n");
        ASSERT_TRUE(b.correr());

        EXPECT_EQ(b.salida(), c.linea + '\n');
        const QString detalle = b.d->detalle->texto();
        const QString dicha = c.aislada ? QChar(0x2068) + c.mostrada + QChar(0x2069) : c.mostrada;
        EXPECT_EQ(detalle, dicha + QStringLiteral("  —  ") + reintentar);

        // Drawn within the label, and never taken for markup: what shows is
        // the text itself, cut.
        const Etiqueta& e = *b.d->detalle;
        const QFontMetricsF m(fuente(e.tamano(), e.peso(), &e));
        const QStringList visibles = e.lineasVisibles();
        ASSERT_FALSE(visibles.isEmpty());
        EXPECT_LE(visibles.size(), qMax(1, e.lineasMaximas()));
        for (const QString& v : visibles)
            EXPECT_LE(m.horizontalAdvance(v), e.width() + 0.5) << v.toStdString();
        const QString primera = visibles.first();
        EXPECT_TRUE(
            detalle.startsWith(primera.endsWith(QChar(0x2026)) ? primera.chopped(1) : primera))
            << primera.toStdString();

        // Whatever the script's text does to the direction of writing stays
        // inside it: the program's own sentence reads left to right.
        EXPECT_TRUE(deIzquierdaADerecha(detalle, detalle.indexOf(reintentar),
                                        fuente(e.tamano(), e.peso(), &e)));
    }
}

} // namespace
