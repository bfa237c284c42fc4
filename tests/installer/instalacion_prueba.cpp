#include "app/delegado.h"
#include "comun/comun.h"
#include "engine/motor.h"
#include "installer/instalacion.h"
#include "installer/protocolo.h"
#include "ui/vistas.h"

#include <gtest/gtest.h>

namespace {

const QString reintentar = "Puedes reintentar: lo ya descargado no se vuelve a descargar.";

// A delegate with its own HOME, whose bundle holds the scriptable test installer.
struct Banco {
    pruebas::Casa casa;
    std::unique_ptr<Delegado> d;

    explicit Banco(const QByteArray& guion, bool actualizando = false, const QString& bash = {}) {
        Globales g = casa.globales("2.0");
        if (!bash.isEmpty())
            g.herramientas.bash = bash;
        pruebas::escribir(g.RECURSOS + "/paquete/instalar_mac.sh",
                          pruebas::leer(pruebas::datos("instalador_eco.sh")), true);
        qputenv("GUION", guion);
        qputenv("HUELLA", (casa.home() + "/hijo").toUtf8());
        Tiempos t;
        t.retrasoApertura = std::chrono::hours(1); // the opening is not looked at here
        d = std::make_unique<Delegado>(g, t);
        d->construir();
        d->actualizando = actualizando;
    }
    bool correr() {
        d->empezar();
        return pruebas::esperarHasta([&] { return !d->instalando; });
    }
    QByteArray salida() const {
        const QByteArray r = pruebas::leer(d->g.REGISTRO);
        return r.startsWith("VARNO 2.0: instalación ") ? r.mid(r.indexOf('\n') + 1) : "?" + r;
    }
};

TEST(Instalacion, ElRegistroGuardaCadaByteYLaVentanaLasLineas) {
    qputenv("VARNO_VERSION", "heredada");
    Banco b(
        "env out:uno err:dos raw:tres\\r\\ncuatro\\xc3 nap:0.2 raw:\\xa1\\n raw:sin_salto exit:1");
    qunsetenv("VARNO_VERSION");
    ASSERT_TRUE(b.correr());
    EXPECT_EQ(b.salida(), "origen=" + b.d->g.RECURSOS.toUtf8() +
                              "/paquete\nversion=2.0\npath=/usr/bin:/bin:/usr/sbin:/sbin\n"
                              "uno\ndos\ntres\r\ncuatro\xc3\xa1\nsin_salto");
    // A character split between chunks shows whole; the unfinished last line
    // is never shown.
    EXPECT_EQ(b.d->detalle->texto(), "cuatroá  —  " + reintentar);
}

TEST(Instalacion, ComoTermina) {
    struct Caso {
        QByteArray guion;
        bool actualizando;
        QString estado;
        QString detalle;
    };
    const Caso casos[] = {
        {"out:==_1/7_A out:==_7/7_B exit:0", false, "VARNO está instalado.",
         "Se abre ahora. Quedó en el Dock y en Aplicaciones."},
        {"exit:0", true, "VARNO está actualizado.", "Se abre ahora."},
        {"out:==_3/7_X out:Sin_ffmpeg. exit:1", false, "No se pudo terminar la instalación.",
         "Sin ffmpeg.  —  " + reintentar},
        {"out:==_3/7_X exit:2", false, "No se pudo terminar la instalación.", reintentar},
    };
    for (const auto& c : casos) {
        Banco b(c.guion, c.actualizando);
        ASSERT_TRUE(b.correr());
        const bool bien = c.guion.endsWith("exit:0");
        EXPECT_EQ(b.d->listo, bien) << c.guion.data();
        EXPECT_EQ(b.d->estado->texto(), c.estado);
        EXPECT_EQ(b.d->detalle->texto(), c.detalle);
        EXPECT_EQ(b.d->registroBoton->isHidden(), bien);
        EXPECT_EQ(b.d->barra->valor(), bien ? 1.0 : b.d->avance);
    }
    // The last line and the end of the run travel apart; the end never overtakes it.
    for (int i = 0; i < 10; ++i) {
        Banco b("out:motivo_" + QByteArray::number(i) + " exit:1");
        ASSERT_TRUE(b.correr());
        EXPECT_EQ(b.d->detalle->texto(), QStringLiteral("motivo %1  —  ").arg(i) + reintentar);
    }
}

TEST(Instalacion, SiNoArrancaLoDiceYNoQuedaProceso) {
    Banco b("exit:0", false, "/no/existe/bash");
    ASSERT_TRUE(b.correr());
    EXPECT_FALSE(b.d->listo);
    EXPECT_FALSE(b.d->proceso);
    EXPECT_TRUE(b.d->detalle->texto().endsWith("  —  " + reintentar));
    EXPECT_GT(b.d->detalle->texto().size(), reintentar.size() + 10) << "the system's reason first";
}

TEST(Instalacion, ReintentarEmpiezaDeCeroYCancelarParaTodoElGrupo) {
    Banco b("out:==_5/7_L out:primera exit:1");
    ASSERT_TRUE(b.correr());
    qputenv("GUION", "kid out:descargando nap:30 exit:0");
    b.d->alBoton();
    EXPECT_TRUE(b.d->instalando);
    EXPECT_EQ(b.d->estado->texto(), "Preparando…");
    EXPECT_EQ(b.d->barra->valor(), 0.0);
    EXPECT_EQ(b.d->paso, 0);
    ASSERT_TRUE(pruebas::esperarHasta([&] { return b.d->detalle->texto() == "descargando"; }));
    EXPECT_EQ(b.salida(), "descargando\n");
    EXPECT_TRUE(b.d->instaladorCorre());
    const pid_t hijo = pruebas::leer(b.casa.home() + "/hijo").trimmed().toInt();
    ASSERT_GT(hijo, 0);
    b.d->cancelarInstalacion();
    ASSERT_TRUE(pruebas::esperarHasta([&] { return !b.d->instalando; }));
    EXPECT_FALSE(b.d->listo);
    EXPECT_TRUE(pruebas::esperarHasta([&] { return !sigueVivo(hijo); })) << "a download it began";
}

// A chunk is applied at once; the window must end as if each line had come alone.
TEST(Instalacion, UnTrozoDejaLaVentanaComoLineaALinea) {
    const QString salidas[] = {
        "== 1/7 A\nb\n== 5/7 Las bibliotecas\nDownloading torch\n== 4/7 C\nd\n",
        "x\r\n\r\n   \n== 5/7 L\n" + QString("y\n").repeated(200) + "== 3/7 (nota)\n",
        "\n\n\t\n",
    };
    const auto estado = [](const Delegado& d) {
        return std::make_tuple(d.paso, d.avance, d.barra->valor(), d.estado->texto(),
                               d.detalle->texto());
    };
    for (const QString& salida : salidas) {
        Banco uno("exit:0");
        Banco todos("exit:0");
        const Trozo t = Encuadre().trocear(salida);
        for (const QString& l : t.comoLista())
            uno.d->linea(l);
        todos.d->lineas(t);
        EXPECT_EQ(estado(*todos.d), estado(*uno.d));
    }
}

} // namespace
