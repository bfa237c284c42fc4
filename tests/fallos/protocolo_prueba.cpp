#include "app/lanzador.h"
#include "banco.h"
#include "installer/protocolo.h"
#include "ui/vistas.h"

namespace {

// Output reaches the launcher chunk by chunk, as a run hands it over. (Which lines are headers,
// their titles, how a detail is cut and that the bar never goes back, the encuadre target states.)
TEST(Protocolo, CabecerasDetallesYAvance) {
    const QString d157 = QString("d\n").repeated(157), d3000 = QString("d\n").repeated(3000);
    const struct {
        QStringList trozos; // chunks of output, in order
        double avance;
        QString estado, detalle; // empty: unchanged
    } casos[] = {
        {{"== 1/7 Uno\n"}, 0.02, "Paso 1 de 7 · Uno", ""},
        {{"d\n== 4/", "7 A\nd", "e\n"}, 0.19, "Paso 4 de 7 · A", "de"}, // lines cut between chunks
        {{"== 5/7 B\n", d157}, 0.6496, "Paso 5 de 7 · B", "d"},
        {{"== 5/7 B\n", d157, d3000}, 0.87, "Paso 5 de 7 · B", "d"}, // never the next step's
        {{"== 7/7 A\n", "== 5/7 B\n", "d\n"}, 0.96, "Paso 5 de 7 · B", "d"},
        {{"uno\n== 2/7 A\nsin salto"}, 0.08, "Paso 2 de 7 · A", "uno"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.trozos.join('|').left(60).toStdString());
        Estado e;
        Encuadre encuadre;
        for (const QString& t : c.trozos)
            e = conLineas(e, encuadre.trocear(t)).estado;
        EXPECT_NEAR(e.barra, c.avance, 0.5 / Barra::escala);
        EXPECT_EQ(std::pair(e.estado, e.detalle), std::pair(c.estado, c.detalle));
    }
}

TEST(Protocolo, LineaDelFallo) {
    const QString reintentar = "Puedes reintentar: lo ya descargado no se vuelve a descargar.";
    const std::pair<const char*, QString> casos[] = {
        {"echo descargando; echo; printf ' \\t\\r\\n'", "descargando  —  " + reintentar},
        {"echo descargando; printf 'sin salto'", "descargando  —  " + reintentar},
        {"echo '== 2/7 X'; echo", reintentar},
        {"read -r r || echo 'sin entrada'", "sin entrada  —  " + reintentar}, // nothing waits on it
    };
    for (const auto& [guion, detalle] : casos) {
        SCOPED_TRACE(guion);
        fallos::Banco b(guion + QByteArray("\nexit 1\n"));
        ASSERT_TRUE(b.correr());
        EXPECT_EQ(b.detalle()->texto(), detalle);
    }
}

// A shell that cannot start ends on the failure screen with its reason, never stuck installing.
TEST(Protocolo, SinShellNoSeQuedaInstalando) {
    pruebas::Casa casa;
    Globales g = casa.globales();
    g.herramientas.bash = casa.home() + "/no-hay-bash";
    Delegado d(g);
    d.construir(), d.alBoton();
    EXPECT_TRUE(pruebas::esperarHasta([&] { return d.fase() == Delegado::Fase::fallo; }));
}

} // namespace
