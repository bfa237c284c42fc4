#include "app/delegado.h"
#include "comun/comun.h"
#include "engine/motor.h"
#include "installer/instalacion.h"
#include "installer/protocolo.h"
#include "ui/vistas.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// A delegate with its own HOME, whose bundle holds the test installer.
struct Banco {
    pruebas::Casa casa;
    std::unique_ptr<Delegado> d;
    int terminadas = 0;

    explicit Banco(const QByteArray& guion, bool actualizando = false,
                   const std::function<void(Globales&)>& ajustar = {}) {
        Globales g = casa.globales("2.0");
        if (ajustar)
            ajustar(g);
        pruebas::escribir(g.RECURSOS + "/paquete/instalar_mac.sh",
                          pruebas::leer(pruebas::datos("instalador_eco.sh")), true);
        qputenv("GUION", guion);
        qputenv("HUELLA", (casa.home() + "/hijo").toUtf8());
        Tiempos t;
        t.retrasoApertura = std::chrono::hours(1); // the opening is not what is tested here
        d = std::make_unique<Delegado>(g, t);
        d->construir();
        d->actualizando = actualizando;
    }
    bool correr() {
        d->empezar();
        return pruebas::esperarHasta([&] { return !d->instalando; });
    }
    QByteArray registro() const { return pruebas::leer(d->g.REGISTRO); }
    QByteArray salida() const { return registro().mid(registro().indexOf('\n') + 1); }
};

TEST(Instalacion, LaSalidaLlegaAlRegistroByteAByteYALaVentanaPorLineas) {
    Banco b(
        "out:uno err:dos raw:tres\\r\\ncuatro\\xc3 nap:0.2 raw:\\xa1\\n raw:cola_sin_salto exit:1");
    ASSERT_TRUE(b.correr());
    EXPECT_TRUE(b.registro().startsWith("VARNO 2.0: instalación "));
    EXPECT_EQ(b.salida(), "uno\ndos\ntres\r\ncuatro\xc3\xa1\ncola_sin_salto");
    // The split character shows as replacement characters; the unfinished last
    // line is never shown, so the failure text is built on the one before it.
    EXPECT_TRUE(b.d->detalle->texto().startsWith("cuatro\uFFFD\uFFFD  —  "))
        << b.d->detalle->texto().toStdString();
}

TEST(Instalacion, ElEntornoLlevaSusTresValores) {
    qputenv("VARNO_VERSION", "heredada");
    Banco b("env exit:0");
    ASSERT_TRUE(b.correr());
    qunsetenv("VARNO_VERSION");
    const QByteArray s = b.salida();
    EXPECT_TRUE(s.contains("origen=" + b.d->g.RECURSOS.toUtf8() + "/paquete\n"));
    EXPECT_TRUE(s.contains("version=2.0\n"));
    EXPECT_TRUE(s.contains("path=/usr/bin:/bin:/usr/sbin:/sbin\n"));
}

TEST(Instalacion, ComoTermina) {
    struct Caso {
        const char* nombre;
        QByteArray guion;
        bool actualizando;
        bool listo;
        QString estado;
        QString detalle;
    };
    const QString reintentar = "Puedes reintentar: lo ya descargado no se vuelve a descargar.";
    const Caso casos[] = {
        {"solo cabeceras y éxito", "out:==_1/7_A out:==_7/7_B exit:0", false, true,
         "VARNO está instalado.", "Se abre ahora. Quedó en el Dock y en Aplicaciones."},
        {"actualización", "exit:0", true, true, "VARNO está actualizado.", "Se abre ahora."},
        {"detalle y fallo", "out:==_3/7_X out:No_se_pudo_descargar_ffmpeg. exit:1", false, false,
         "No se pudo terminar la instalación.", "No se pudo descargar ffmpeg.  —  " + reintentar},
        {"fallo sin detalle", "out:==_3/7_X exit:2", false, false,
         "No se pudo terminar la instalación.", reintentar},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        Banco b(c.guion, c.actualizando);
        ASSERT_TRUE(b.correr());
        EXPECT_EQ(b.d->listo, c.listo);
        EXPECT_EQ(b.d->estado->texto(), c.estado);
        EXPECT_EQ(b.d->detalle->texto(), c.detalle);
        EXPECT_EQ(b.d->registroBoton->isHidden(), c.listo);
        EXPECT_EQ(b.d->barra->valor(), c.listo ? 1.0 : b.d->avance);
    }
}

// The last line and the end of the run travel apart; the end must never
// overtake the line.
TEST(Instalacion, LaUltimaLineaLlegaAntesQueElFinal) {
    for (int i = 0; i < 20; ++i) {
        Banco b("out:motivo_" + QByteArray::number(i) + " exit:1");
        ASSERT_TRUE(b.correr());
        EXPECT_TRUE(b.d->detalle->texto().startsWith("motivo " + QString::number(i) + "  —  "))
            << b.d->detalle->texto().toStdString();
    }
}

TEST(Instalacion, SiNoArrancaLoDiceYNoQuedaProceso) {
    Banco b("exit:0", false, [](Globales& g) { g.herramientas.bash = g.DATOS + "/no/bash"; });
    ASSERT_TRUE(b.correr());
    EXPECT_FALSE(b.d->listo);
    EXPECT_FALSE(b.d->proceso);
    EXPECT_TRUE(b.d->detalle->texto().endsWith("  —  Puedes reintentar: lo ya descargado no se "
                                               "vuelve a descargar."));
    EXPECT_GT(b.d->detalle->texto().size(), 70);
}

TEST(Instalacion, ReintentarEmpiezaDeCero) {
    Banco b("out:==_5/7_L out:primera exit:1");
    ASSERT_TRUE(b.correr());
    qputenv("GUION", "nap:5");
    b.d->alBoton();
    EXPECT_TRUE(b.d->instalando);
    EXPECT_EQ(b.d->estado->texto(), "Preparando…");
    EXPECT_EQ(b.d->detalle->texto(), "");
    EXPECT_EQ(b.d->barra->valor(), 0.0);
    EXPECT_EQ(b.d->paso, 0);
    EXPECT_FALSE(b.registro().contains("primera"));
    b.d->cancelarInstalacion();
    ASSERT_TRUE(pruebas::esperarHasta([&] { return !b.d->instalando; }));
}

TEST(Instalacion, CancelarParaTambienLoQueElGuionArranco) {
    Banco b("kid out:descargando nap:30 exit:0");
    b.d->empezar();
    ASSERT_TRUE(pruebas::esperarHasta([&] { return b.d->detalle->texto() == "descargando"; }));
    EXPECT_TRUE(b.d->instaladorCorre());
    const pid_t hijo = pruebas::leer(b.casa.home() + "/hijo").trimmed().toInt();
    ASSERT_GT(hijo, 0);
    b.d->cancelarInstalacion();
    ASSERT_TRUE(pruebas::esperarHasta([&] { return !b.d->instalando; }));
    EXPECT_FALSE(b.d->listo);
    EXPECT_TRUE(pruebas::esperarHasta([&] { return !sigueVivo(hijo); }));
}

} // namespace

namespace {

// A chunk is applied at once; the window must end as if each line had come alone.
TEST(Instalacion, UnTrozoDejaLaVentanaComoLineaALinea) {
    const QString salidas[] = {
        "== 1/7 A\nb\n== 5/7 Las bibliotecas\nDownloading torch (60.5MiB)\n== 4/7 C\nd\n",
        "x\r\n\r\n   \n== 5/7 L\n" + QString("y\n").repeated(200) + "== 3/7 (nota)\n",
        "solo detalle sin salto",
        "\n\n\t\n",
    };
    for (const QString& salida : salidas) {
        Banco uno("exit:0");
        Banco todos("exit:0");
        Encuadre e;
        const Trozo t = e.trocear(salida);
        for (const QString& l : t.comoLista())
            uno.d->linea(l);
        todos.d->lineas(t);
        EXPECT_EQ(todos.d->paso, uno.d->paso);
        EXPECT_DOUBLE_EQ(todos.d->avance, uno.d->avance);
        EXPECT_DOUBLE_EQ(todos.d->barra->valor(), uno.d->barra->valor());
        EXPECT_EQ(todos.d->estado->texto(), uno.d->estado->texto());
        EXPECT_EQ(todos.d->detalle->texto(), uno.d->detalle->texto());
    }
}

} // namespace
