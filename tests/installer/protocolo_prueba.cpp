// The installer's output as the window reads it: bytes to text wherever a
// chunk ends, text to lines, and each line to the step, the bar and the texts.
#include "app/delegado.h"
#include "base/texto.h"
#include "installer/protocolo.h"

#include <gtest/gtest.h>

namespace {

// The same bytes cut in two anywhere give the same text and lines: one U+FFFD
// per maximal invalid subpart, one for a sequence left unfinished at the end,
// a byte-order mark kept as a character, every kind of line break.
TEST(Decodificador, ElMismoTextoDondeSeaQueCaigaElCorte) {
    const struct {
        QByteArray bytes;
        QStringView texto;
        QStringList lineas;
    } casos[] = {
        {"a\xE2\x82", u"a\uFFFD", {}},
        {"\xE2\x82"
         "b\n",
         u"\uFFFDb\n", {"\uFFFDb"}},
        {"\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80",
         u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD", {}},
        {"x\xE2\x82\xACy\xF0\x90\x80z\xFF\xF0\x9F\x98\x80", u"x€y\uFFFDz\uFFFD😀", {}},
        {"\xEF\xBB\xBF== 1/7 x\n\xEF\xBB\xBF", u"\uFEFF== 1/7 x\n\uFEFF", {QStringLiteral("\uFEFF== 1/7 x")}},
        {"a\r\nb\r1\v2\f3\xC2\x85"
         "4\xE2\x80\xA8"
         "5\xE2\x80\xA9"
         "0123456789abcdefghijklmnopqrstuvwxyzABCD\n\xC3\x82\xE2\x80\xA7z",
         u"a\r\nb\r1\v2\f3\u00854\u20285\u20290123456789abcdefghijklmnopqrstuvwxyzABCD\n\u00C2\u2027z",
         {"a", "", "b", "1", "2", "3", "4", "5", "0123456789abcdefghijklmnopqrstuvwxyzABCD"}},
    };
    for (const auto& c : casos)
        for (qsizetype corte = 0; corte <= c.bytes.size(); ++corte) {
            DecodificadorUtf8 d;
            Encuadre e;
            QString texto;
            QStringList lineas;
            for (const QString& t : {d.decodificar(c.bytes.left(corte)),
                                     d.decodificar(c.bytes.mid(corte)), d.terminar()}) {
                texto += t;
                lineas += e.agregar(t);
            }
            EXPECT_EQ(texto, c.texto) << c.bytes.toHex().toStdString() << " @" << corte;
            EXPECT_EQ(lineas, c.lineas) << c.bytes.toHex().toStdString() << " @" << corte;
        }
}

// Headings name the step and move the bar to it, never back; details in the
// long step 5 move it a little, never into step 6; what is shown is trimmed,
// cut and without direction formatting.
TEST(Protocolo, UnaInstalacionLineaALinea) {
    const struct {
        QString linea;
        qint64 paso;
        std::optional<QString> estado, detalle;
    } lineas[] = {
        {"   ", 0, {}, {}},
        {"== 1/7 A", 1, "Paso 1 de 7 · A", {}},
        {"\t<b>x</b> ", 1, {}, "<b>x</b>"},
        {"== 5/7 Las bibliotecas (varios minutos)", 5, "Paso 5 de 7 · Las bibliotecas", {}},
        {"Downloading torch (60.5MiB)", 5, {}, "Downloading torch (60.5MiB)"},
        {QString(161, 'a'), 5, {}, QString(160, 'a') + QChar(0x2026)},
        {"== 4/7 C(x)", 4, "Paso 4 de 7 · C(x)", {}},
        {"== 6/7", 6, "Paso 6 de 7 · ", {}},
        {"== 5/7 a /7 b", 5, "Paso 5 de 7 · a /7 b", {}},
        {"== 12/7 raro", 1, "Paso 1 de 7 · raro", {}},
        {QStringLiteral("== 2/7 \u202Eab\u2069"), 2, "Paso 2 de 7 · ab", {}},
        {QStringLiteral("\u2067c\u202Cd"), 2, {}, "cd"},
        {"== 0/7", 2, {}, "== 0/7"},
        {"== 8/7", 2, {}, "== 8/7"},
        {"==  5/7", 2, {}, "==  5/7"},
        {"==", 2, {}, "=="},
    };
    Progreso p;
    for (const auto& x : lineas) {
        SCOPED_TRACE(x.linea.toStdString());
        const EfectoLinea e = interpretarLinea(x.linea, p, Delegado::desde);
        EXPECT_EQ(e.progreso.paso, x.paso);
        EXPECT_EQ(e.estado, x.estado);
        EXPECT_EQ(e.detalle, x.detalle);
        if (x.detalle && p.paso == 5)
            EXPECT_GT(e.progreso.avance, p.avance);
        else
            EXPECT_EQ(e.progreso.avance,
                      x.estado ? std::max(p.avance, Delegado::desde[x.paso]) : p.avance);
        p = e.progreso;
    }
    p = {5, Delegado::desde[5]};
    for (int i = 0; i < 1000; ++i)
        p = interpretarLinea("Downloading x", p, Delegado::desde).progreso;
    EXPECT_LT(p.avance, Delegado::desde[6]);
    EXPECT_GT(p.avance, Delegado::desde[6] - 0.05);
}

} // namespace
