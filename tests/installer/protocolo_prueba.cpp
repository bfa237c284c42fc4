#include "app/delegado.h"
#include "installer/protocolo.h"

#include <gtest/gtest.h>

namespace {

TEST(Encuadre, CadaSaltoCortaUnaLinea) {
    struct Caso {
        const char* nombre;
        QStringList trozos;
        QStringList lineas;
        QString resto;
    };
    const Caso casos[] = {
        {"LF", {"a\nb\n"}, {"a", "b"}, ""},
        {"CRLF deja una vacía entre los dos", {"a\r\nb"}, {"a", ""}, "b"},
        {"CR suelto de un contador", {"10%\r20%\r"}, {"10%", "20%"}, ""},
        {"los siete",
         {"1\n2\r3\v4\f5\u00856\u20287\u2029"},
         {"1", "2", "3", "4", "5", "6", "7"},
         ""},
        {"línea partida entre trozos", {"hol", "a\nmun", "do"}, {"hola"}, "mundo"},
        {"salto al principio del trozo", {"abc", "\n"}, {"abc"}, ""},
        {"NEL de Latin-1 no es U+0085 si no llega así", {"a\u00c2b"}, {}, "a\u00c2b"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        Encuadre e;
        QStringList lineas;
        for (const QString& t : c.trozos)
            lineas += e.agregar(t);
        EXPECT_EQ(lineas, c.lineas);
        EXPECT_EQ(e.resto(), c.resto);
    }
}

TEST(Encuadre, UnaLineaSinFinNoCreceSinLimite) {
    Encuadre e;
    const QString bloque(1 << 20, 'x');
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(e.agregar(bloque).isEmpty());
    EXPECT_EQ(e.resto().size(), Encuadre::topeResto);
    const QStringList lineas = e.agregar(u"y\n== 2/7 Sigue\n");
    ASSERT_EQ(lineas.size(), 2);
    EXPECT_EQ(lineas[0], QString(Encuadre::topeResto, 'x'));
    EXPECT_EQ(lineas[1], "== 2/7 Sigue");
}

struct Paso {
    const char* linea;
    qint64 paso;
    double avance;
    std::optional<QString> estado;
    std::optional<QString> detalle;
};

void recorrer(const std::vector<Paso>& pasos) {
    Progreso p;
    for (const auto& x : pasos) {
        SCOPED_TRACE(x.linea);
        const EfectoLinea e = interpretarLinea(QString::fromUtf8(x.linea), p, Delegado::desde);
        p = e.progreso;
        EXPECT_EQ(p.paso, x.paso);
        EXPECT_NEAR(p.avance, x.avance, 1e-12);
        EXPECT_EQ(e.estado, x.estado);
        EXPECT_EQ(e.detalle, x.detalle);
    }
}

TEST(Protocolo, EjemploDeUnaPrimeraInstalacion) {
    recorrer({
        {"== 1/7 A", 1, 0.02, "Paso 1 de 7 · A", {}},
        {"b", 1, 0.02, {}, "b"},
        {"== 5/7 Las bibliotecas", 5, 0.24, "Paso 5 de 7 · Las bibliotecas", {}},
        {"Downloading torch (60.5MiB)", 5, 0.244, {}, "Downloading torch (60.5MiB)"},
        {"== 4/7 C", 4, 0.244, "Paso 4 de 7 · C", {}},
        {"d", 4, 0.244, {}, "d"},
        {"== 6/7 E", 6, 0.88, "Paso 6 de 7 · E", {}},
        // Back to step 5 above its cap: a detail line brings the bar to 0.87.
        {"== 5/7 Otra vez", 5, 0.88, "Paso 5 de 7 · Otra vez", {}},
        {"x", 5, 0.87, {}, "x"},
    });
}

TEST(Protocolo, CabecerasYTitulos) {
    struct Caso {
        const char* linea;
        std::optional<QString> estado; // nothing: a detail line
    };
    const Caso casos[] = {
        {"== 3/7", "Paso 3 de 7 · "},
        {"   == 2/7 X   ", "Paso 2 de 7 · X"},
        {"\t== 2/7\tX\t", "Paso 2 de 7 · X"},
        {"== 4/7 Python (3.11, 40 MB)", "Paso 4 de 7 · Python"},
        {"== 4/7 Python(3.11)", "Paso 4 de 7 · Python(3.11)"},
        {"== 4/7 a /7 b", "Paso 4 de 7 · a /7 b"},
        {"== 4 sin barra", "Paso 4 de 7 · "},
        {"== 12/7 raro", "Paso 1 de 7 · raro"},
        {"== 0/7 no", {}},
        {"== 8/7 no", {}},
        {"==  5/7 no", {}},
        {"== x", {}},
        {"==", {}},
        {"== ٣/7 no", {}},
        {"<b>== 1/7</b>", {}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.linea);
        const EfectoLinea e = interpretarLinea(QString::fromUtf8(c.linea), {}, Delegado::desde);
        EXPECT_FALSE(e.ignorada);
        EXPECT_EQ(e.estado, c.estado);
        EXPECT_EQ(e.detalle.has_value(), !c.estado.has_value());
    }
}

TEST(Protocolo, LineasQueNoCambianNada) {
    for (const char* l : {"", " ", "\t \t", "\u3000"}) {
        const EfectoLinea e = interpretarLinea(QString::fromUtf8(l), {5, 0.5}, Delegado::desde);
        EXPECT_TRUE(e.ignorada) << l;
        EXPECT_EQ(e.progreso.avance, 0.5);
    }
}

TEST(Protocolo, ElPaso5AvanzaHastaSuTope) {
    Progreso p{5, 0.24};
    int lineas = 0;
    while (p.avance < 0.87 && lineas < 1000) {
        p = interpretarLinea(QStringLiteral("Downloading x"), p, Delegado::desde).progreso;
        ++lineas;
    }
    EXPECT_EQ(lineas, 158);
    p = interpretarLinea(QStringLiteral("otra"), p, Delegado::desde).progreso;
    EXPECT_DOUBLE_EQ(p.avance, 0.87);
}

TEST(Protocolo, DetalleCortadoA160) {
    const auto detalle = [](const QString& l) {
        return *interpretarLinea(l, {}, Delegado::desde).detalle;
    };
    EXPECT_EQ(detalle(QString(160, 'a')), QString(160, 'a'));
    EXPECT_EQ(detalle(QString(161, 'a')), QString(160, 'a') + QChar(0x2026));
    EXPECT_EQ(detalle(QStringLiteral("  <img src=x>  ")), "<img src=x>");
}

TEST(Textos, CabeceraFalloYEntorno) {
    const QDateTime t(QDate(2026, 12, 5), QTime(13, 55, 7), Qt::UTC);
    EXPECT_EQ(cabeceraRegistro("1.4.0", t), "VARNO 1.4.0: instalación 2026-12-05 13:55:07 +0000\n");
    EXPECT_EQ(cabeceraRegistro("1", t.toOffsetFromUtc(3600)),
              "VARNO 1: instalación 2026-12-05 13:55:07 +0000\n");

    const QString reintentar = "Puedes reintentar: lo ya descargado no se vuelve a descargar.";
    EXPECT_EQ(detalleDeFallo(""), reintentar);
    EXPECT_EQ(detalleDeFallo("sin red"), "sin red  —  " + reintentar);

    QProcessEnvironment base;
    base.insert("PATH", "/opt/malo:/usr/bin");
    base.insert("VARNO_VERSION", "vieja");
    base.insert("OTRA", "x");
    const auto e = entornoInstalador(base, "/B/paquete", "2.0");
    EXPECT_EQ(e.value("PATH"), "/usr/bin:/bin:/usr/sbin:/sbin");
    EXPECT_EQ(e.value("VARNO_VERSION"), "2.0");
    EXPECT_EQ(e.value("VARNO_ORIGEN"), "/B/paquete");
    EXPECT_EQ(e.value("OTRA"), "x");
    EXPECT_EQ(e.keys().size(), 4);
}

} // namespace
