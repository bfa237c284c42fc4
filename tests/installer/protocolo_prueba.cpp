#include "app/delegado.h"
#include "base/texto.h"
#include "installer/protocolo.h"

#include <gtest/gtest.h>

namespace {

TEST(Encuadre, CadaSaltoCortaUnaLinea) {
    struct Caso {
        QStringList trozos;
        QStringList lineas;
        QString resto;
    };
    const Caso casos[] = {
        {{"a\r\nb"}, {"a", ""}, "b"}, // CRLF leaves an empty line between the two
        {{"10%\r20%\r"}, {"10%", "20%"}, ""},
        {{"1\n2\r3\v4\f5\u00856\u20287\u2029"}, {"1", "2", "3", "4", "5", "6", "7"}, ""},
        {{"hol", "a\nmun", "do"}, {"hola"}, "mundo"},
        {{"abc", "\n", "x" + QString(40, 'y') + "\nz"}, {"abc", "x" + QString(40, 'y')}, "z"},
        {{"a\u00c2\u2027b"}, {}, "a\u00c2\u2027b"},
    };
    for (const auto& c : casos) {
        Encuadre e;
        QStringList lineas;
        for (const QString& t : c.trozos)
            lineas += e.agregar(t);
        EXPECT_EQ(lineas, c.lineas) << c.trozos.join('|').toStdString();
        EXPECT_EQ(e.resto(), c.resto);
    }
}

// The same bytes cut in two anywhere decode to the same text and lines: one
// U+FFFD per maximal invalid subpart, one for a sequence left unfinished at
// the end, and a byte-order mark kept as a character.
TEST(Decodificador, ElMismoTextoDondeSeaQueCaigaElCorte) {
    const struct {
        QByteArray bytes;
        QStringView texto;
        int cabeceras;
    } casos[] = {
        {"a\xE2\x82", u"a\uFFFD", 0},
        {"\xE2\x82"
         "b\n",
         u"\uFFFDb\n", 0},
        {"\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80",
         u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD", 0},
        {"x\xE2\x82\xACy\xF0\x90\x80z\xFF\xF0\x9F\x98\x80", u"x€y\uFFFDz\uFFFD😀", 0},
        {"\xEF\xBB\xBF== 1/7 x\n== 2/7 \xC3\xA1\n\xEF\xBB\xBF", u"\uFEFF== 1/7 x\n== 2/7 á\n\uFEFF",
         1},
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
            EXPECT_EQ(lineas, Encuadre().agregar(c.texto));
            EXPECT_EQ(std::count_if(lineas.begin(), lineas.end(),
                                    [](const QString& l) {
                                        return leerLinea(l, {}, Delegado::desde).tipo ==
                                               LecturaLinea::cabecera;
                                    }),
                      c.cabeceras);
        }
}

TEST(Encuadre, UnaLineaSinFinNoCreceSinLimite) {
    Encuadre e;
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(e.agregar(QString(1 << 20, 'x')).isEmpty());
    EXPECT_EQ(e.resto().size(), Encuadre::topeResto);
    EXPECT_EQ(e.agregar(u"y\n== 2/7 Sigue\n"),
              QStringList({QString(Encuadre::topeResto, 'x'), "== 2/7 Sigue"}));
}

TEST(Protocolo, UnaInstalacionLineaALinea) {
    struct Paso {
        QString linea;
        qint64 paso;
        double avance;
        std::optional<QString> estado;
        std::optional<QString> detalle;
    };
    const Paso pasos[] = {
        {"   ", 0, 0.0, {}, {}},
        {"== 1/7 A", 1, 0.02, "Paso 1 de 7 · A", {}},
        {"\t<b>x</b> ", 1, 0.02, {}, "<b>x</b>"},
        {"== 5/7 Las bibliotecas (varios minutos)", 5, 0.24, "Paso 5 de 7 · Las bibliotecas", {}},
        {"Downloading torch (60.5MiB)", 5, 0.244, {}, "Downloading torch (60.5MiB)"},
        {QString(161, 'a'), 5, 0.248, {}, QString(160, 'a') + QChar(0x2026)},
        {"== 4/7 C(x)", 4, 0.248, "Paso 4 de 7 · C(x)", {}},
        {"== 6/7", 6, 0.88, "Paso 6 de 7 · ", {}},
        {"== 5/7 a /7 b", 5, 0.88, "Paso 5 de 7 · a /7 b", {}},
        {"d", 5, 0.87, {}, "d"}, // step 5 never creeps past its cap
        {"== 12/7 raro", 1, 0.87, "Paso 1 de 7 · raro", {}},
        {QStringLiteral("== 2/7 \u202Eab\u2069"),
         2,
         0.87,
         "Paso 2 de 7 · ab",
         {}}, // no direction formatting
        {QStringLiteral("\u2067c\u202Cd"), 2, 0.87, {}, "cd"},
    };
    Progreso p;
    for (const auto& x : pasos) {
        const EfectoLinea e = interpretarLinea(x.linea, p, Delegado::desde);
        p = e.progreso;
        EXPECT_EQ(p.paso, x.paso) << x.linea.toStdString();
        EXPECT_NEAR(p.avance, x.avance, 1e-12) << x.linea.toStdString();
        EXPECT_EQ(e.estado, x.estado);
        EXPECT_EQ(e.detalle, x.detalle);
    }
    // Lines that break the header rule are details.
    for (const char* l : {"== 0/7", "== 8/7", "==  5/7", "== x", "==", "== ٣/7"})
        EXPECT_TRUE(interpretarLinea(QString::fromUtf8(l), {}, Delegado::desde).detalle) << l;

    p = {5, 0.24};
    int lineas = 0;
    for (; p.avance < 0.87 && lineas < 1000; ++lineas)
        p = interpretarLinea("Downloading x", p, Delegado::desde).progreso;
    EXPECT_EQ(lineas, 158);
}

TEST(Protocolo, CabeceraDelRegistroYTextoDeFallo) {
    const QDateTime t(QDate(2026, 12, 5), QTime(14, 55, 7), Qt::OffsetFromUTC, 3600);
    EXPECT_EQ(cabeceraRegistro("1.4.0", t), "VARNO 1.4.0: instalación 2026-12-05 13:55:07 +0000\n");
    const QString reintentar = "Puedes reintentar: lo ya descargado no se vuelve a descargar.";
    EXPECT_EQ(detalleDeFallo(""), reintentar);
    EXPECT_EQ(detalleDeFallo("sin red"), "sin red  —  " + reintentar);
}

} // namespace
