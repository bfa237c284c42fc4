// The installer's output as the window reads it: bytes to text and text to
// lines, the same wherever a chunk ends.
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
         u"\uFFFDb\n",
         {"\uFFFDb"}},
        {"\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80",
         u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD",
         {}},
        {"x\xE2\x82\xACy\xF0\x90\x80z\xFF\xF0\x9F\x98\x80", u"x€y\uFFFDz\uFFFD😀", {}},
        {"\xEF\xBB\xBF== 1/7 x\n\xEF\xBB\xBF",
         u"\uFEFF== 1/7 x\n\uFEFF",
         {QStringLiteral("\uFEFF== 1/7 x")}},
        {"a\r\nb\r1\v2\f3\xC2\x85"
         "4\xE2\x80\xA8"
         "5\xE2\x80\xA9"
         "0123456789abcdefghijklmnopqrstuvwxyzABCD\n\xC3\x82\xE2\x80\xA7z",
         u"a\r\nb\r1\v2\f3\u00854\u20285\u20290123456789abcdefghijklmnopqrstuvwxyzABCD\n\u00C2"
         u"\u2027z",
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

} // namespace
