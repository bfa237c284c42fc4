#include "ui/imagen.h"

#include "app/delegado.h"
#include "comun/comun.h"
#include "ui/marca.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

using pruebas::de;
using pruebas::en;

namespace {

// The delegate with its installer and engine calls recorded instead of run.
class DelegadoDePrueba : public Delegado {
public:
    explicit DelegadoDePrueba(const Globales& g)
        : Delegado(g) {}

    int empezados = 0;
    int aperturas = 0;
    int cancelaciones = 0;
    bool corre = false;

    void empezar() override { ++empezados; }
    void abrirYEsperar() override { ++aperturas; }
    bool instaladorCorre() const override { return corre; }
    void cancelarInstalacion() override { ++cancelaciones; }
};

struct Construido : ::testing::Test {
    pruebas::Casa casa;
    DelegadoDePrueba d{casa.globales()};
    void SetUp() override { d.construir(); }
};

void pulsar(QWidget* w) {
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(10, 10), w->mapToGlobal(QPointF(10, 10)),
                  Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

using Construccion = Construido;

// The ten views, in drawing order, at their frames, with their texts and looks.
TEST_F(Construccion, DiezVistasEnOrdenYEnSuSitio) {
    struct Vista {
        const char* clase;
        QRect marco;
        const char* texto;
        qreal tamano;
        Peso peso;
        QColor color;
        int lineas;
    };
    const Vista vistas[] = {
        {"Logo", {36, 30, 58, 58}, nullptr, 0, {}, {}, 0},
        {"Etiqueta", {98, 32, 300, 52}, "VARNO", 38, Peso::heavy, Qt::white, 0},
        {"Etiqueta",
         {40, 108, 480, 24},
         "Todos los drops de la noche,",
         17,
         Peso::semibold,
         Marca::papel,
         0},
        {"Etiqueta",
         {40, 132, 480, 24},
         "listos para publicar.",
         17,
         Peso::semibold,
         Marca::naranja,
         0},
        {"Etiqueta",
         {40, 178, 480, 54},
         "La primera vez instala lo que VARNO necesita (Python, ffmpeg y las bibliotecas): "
         "descarga unos 2 GB y puede tardar un rato. No pide la contraseña.",
         12.5,
         Peso::regular,
         Marca::tiza,
         3},
        {"Etiqueta", {40, 186, 480, 20}, "", 13.5, Peso::semibold, Marca::papel, 0},
        {"Barra", {40, 218, 480, 6}, nullptr, 0, {}, {}, 0},
        {"Etiqueta", {40, 234, 480, 36}, "", 11.5, Peso::regular, Marca::tiza, 2},
        {"Boton", {40, 296, 150, 42}, "Instalar", 0, {}, {}, 0},
        {"Boton", {204, 296, 150, 42}, "Ver el registro", 0, {}, {}, 0},
    };
    QWidget* plano = d.ventana->contenido();
    ASSERT_TRUE(plano);
    EXPECT_EQ(plano->geometry(), QRect(0, 0, 560, 372));
    const QObjectList hijos = plano->children();
    ASSERT_EQ(hijos.size(), std::size(vistas));
    for (size_t k = 0; k < std::size(vistas); ++k) {
        const Vista& v = vistas[k];
        auto* w = qobject_cast<QWidget*>(hijos[k]);
        ASSERT_TRUE(w);
        EXPECT_STREQ(w->metaObject()->className(), v.clase) << k;
        EXPECT_EQ(w->geometry(), v.marco) << k;
        if (auto* e = qobject_cast<Etiqueta*>(w)) {
            EXPECT_EQ(e->texto(), QString::fromUtf8(v.texto)) << k;
            EXPECT_EQ(e->tamano(), v.tamano) << k;
            EXPECT_EQ(e->peso(), v.peso) << k;
            EXPECT_EQ(e->color(), v.color) << k;
            EXPECT_EQ(e->lineasMaximas(), v.lineas) << k;
        }
        if (auto* b = qobject_cast<Boton*>(w))
            EXPECT_EQ(b->titulo(), QString::fromUtf8(v.texto)) << k;
    }
    // Only the views that later code changes are kept, and they are these.
    EXPECT_EQ(d.info, hijos[4]);
    EXPECT_EQ(d.estado, hijos[5]);
    EXPECT_EQ(d.barra, hijos[6]);
    EXPECT_EQ(d.detalle, hijos[7]);
    EXPECT_EQ(d.boton, hijos[8]);
    EXPECT_EQ(d.registroBoton, hijos[9]);
    EXPECT_FALSE(d.boton->secundario());
    EXPECT_TRUE(d.registroBoton->secundario());
}

TEST_F(Construccion, LaVentana) {
    Ventana& v = *d.ventana;
    EXPECT_EQ(v.windowTitle(), QStringLiteral("Instalar VARNO"));
    EXPECT_EQ(v.minimumSize(), QSize(560, 372));
    EXPECT_EQ(v.maximumSize(), QSize(560, 372));
    const Qt::WindowFlags f = v.windowFlags();
    EXPECT_TRUE(f & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(f & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(f & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(v.testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_FALSE(v.isVisible()) << "the launch decision shows it";

    // Dark everywhere the views leave room, and the first screen applied.
    const QImage i = pruebas::pintar(v);
    for (const QPoint p : {QPoint(2, 2), QPoint(557, 369), QPoint(545, 200), QPoint(279, 317)})
        EXPECT_EQ(en(i, p.x(), p.y()), de(Marca::fondo)) << p.x() << "," << p.y();
    EXPECT_EQ(en(i, 45, 300), de(Marca::papel)) << "main button";
    EXPECT_EQ(en(i, 64, 59), de(Marca::amarillo)) << "logo";
    EXPECT_GT(pruebas::cuantos(i, QRect(40, 132, 480, 24), Marca::naranja), 20);
    EXPECT_GT(pruebas::cuantos(i, QRect(98, 32, 300, 52), Qt::white, 0), 100);
    EXPECT_EQ(d.boton->titulo(), QStringLiteral("Instalar"));
    EXPECT_TRUE(d.registroBoton->isHidden());
}

// A second build replaces all seven fields; the first window and its views go.
TEST_F(Construccion, OtraConstruccionLoReemplazaTodo) {
    const QPointer<QWidget> antes[] = {d.ventana.get(),       d.info.data(),  d.estado.data(),
                                       d.detalle.data(),      d.barra.data(), d.boton.data(),
                                       d.registroBoton.data()};
    d.construir();
    const QWidget* ahora[] = {d.ventana.get(),       d.info.data(),  d.estado.data(),
                              d.detalle.data(),      d.barra.data(), d.boton.data(),
                              d.registroBoton.data()};
    for (size_t k = 0; k < std::size(antes); ++k) {
        EXPECT_TRUE(antes[k].isNull()) << k;
        EXPECT_TRUE(ahora[k]) << k;
    }
    EXPECT_EQ(d.boton->window(), d.ventana.get());
}

// Visibility, titles and colours of the six screens.
TEST_F(Construido, LasSeisPantallas) {
    struct Pantalla {
        qint64 n;
        bool actualizando;
        bool info, registro, activo;
        const char* titulo;
        QColor color;
    };
    const Pantalla pantallas[] = {
        {0, false, true, false, true, "Instalar", Marca::papel},
        {1, false, false, false, false, "Instalando…", Marca::papel},
        {1, true, false, false, false, "Actualizando…", Marca::papel},
        {2, false, false, false, true, "Abrir VARNO", Marca::bien},
        {3, false, false, true, true, "Reintentar", Marca::mal},
        {4, false, false, false, false, "Abriendo…", Marca::papel},
        {5, false, false, true, true, "Reintentar", Marca::mal},
    };
    // From each screen to every other, so that nothing depends on the one before.
    for (const Pantalla& desde : pantallas)
        for (const Pantalla& p : pantallas) {
            d.actualizando = desde.actualizando;
            d.mostrar(desde.n, true);
            d.actualizando = p.actualizando;
            d.mostrar(p.n, true);
            const auto dice = ::testing::Message() << desde.n << " → " << p.n;
            EXPECT_EQ(d.info->isHidden(), !p.info) << dice;
            for (QWidget* w : {static_cast<QWidget*>(d.estado), static_cast<QWidget*>(d.barra),
                               static_cast<QWidget*>(d.detalle)})
                EXPECT_EQ(w->isHidden(), p.n == 0) << dice;
            EXPECT_EQ(d.registroBoton->isHidden(), !p.registro) << dice;
            EXPECT_EQ(d.boton->activo(), p.activo) << dice;
            EXPECT_EQ(d.boton->titulo(), QString::fromUtf8(p.titulo)) << dice;
            EXPECT_EQ(d.estado->color(), p.color) << dice;
        }

    // What a capture of each screen shows: the status line in its colour, the
    // main button's fill, and the log button's border only where it is shown.
    const QColor bordeReposo(70, 70, 80);
    for (const Pantalla& p : pantallas) {
        d.actualizando = p.actualizando;
        d.mostrar(p.n, true);
        const QImage i = pruebas::pintar(*d.ventana);
        const auto dice = ::testing::Message() << "pantalla " << p.n;
        EXPECT_EQ(en(i, 45, 300), de(p.activo ? Marca::papel : Marca::panel)) << dice;
        EXPECT_EQ(en(i, 279, 296), de(p.registro ? bordeReposo : Marca::fondo)) << dice;
        const QRect linea(40, 186, 480, 20);
        EXPECT_EQ(pruebas::cuantos(i, linea, p.color, 0) > 0, p.n != 0) << dice;
        const QRect barra(40, 218, 480, 6);
        EXPECT_EQ(pruebas::cuantos(i, barra, Marca::panel, 0) +
                          pruebas::cuantos(i, barra, Marca::azul, 0) >
                      0,
                  p.n != 0)
            << dice;
    }
}

// Example texts fill the status, the detail and the bar; without them the
// screen keeps what the window shows; a screen that does not exist changes
// nothing.
TEST_F(Construido, TextosDeEjemploYPantallasInexistentes) {
    struct Ejemplo {
        qint64 n;
        const char* estado;
        const char* detalle;
        double barra;
    };
    const Ejemplo ejemplos[] = {
        {1, "Paso 5 de 7 · Las bibliotecas", "Downloading torch (60.5MiB)", 0.5},
        {2, "VARNO está instalado.",
         "Se abre ahora. Las próximas veces, desde Aplicaciones o Launchpad.", 1.0},
        {3, "No se pudo terminar la instalación.",
         "No se pudo descargar ffmpeg. Puedes reintentar: lo ya descargado no se vuelve a "
         "descargar.",
         0.1},
        {4, "Abriendo VARNO…", "La primera vez puede tardar uno o dos minutos.", 0.4},
        {5, "VARNO no pudo abrirse.", "ModuleNotFoundError: No module named 'cv2'", 0.6},
    };
    for (const Ejemplo& e : ejemplos) {
        d.mostrar(e.n, true);
        EXPECT_EQ(d.estado->texto(), QString::fromUtf8(e.estado)) << e.n;
        EXPECT_EQ(d.detalle->texto(), QString::fromUtf8(e.detalle)) << e.n;
        EXPECT_EQ(d.barra->valor(), e.barra) << e.n;
        // The example detail lines fit their two lines uncut.
        EXPECT_FALSE(d.detalle->lineasVisibles().last().endsWith(QChar(0x2026))) << e.n;
    }
    EXPECT_FALSE(d.info->lineasVisibles().last().endsWith(QChar(0x2026)));

    d.estado->fijarTexto(QStringLiteral("propio"));
    d.detalle->fijarTexto(QStringLiteral("detalle propio"));
    d.barra->fijarValor(0.33);
    for (qint64 n : {0, 1, 2, 3, 4, 5}) {
        d.mostrar(n);
        EXPECT_EQ(d.estado->texto(), QStringLiteral("propio")) << n;
        EXPECT_EQ(d.detalle->texto(), QStringLiteral("detalle propio")) << n;
        EXPECT_EQ(d.barra->valor(), 0.33) << n;
    }
    d.mostrar(0, true);
    EXPECT_EQ(d.estado->texto(), QStringLiteral("propio"));

    d.mostrar(3);
    for (qint64 n : {-1LL, 6LL, 1000LL}) {
        d.mostrar(n, true);
        EXPECT_EQ(d.boton->titulo(), QStringLiteral("Reintentar")) << n;
        EXPECT_FALSE(d.registroBoton->isHidden()) << n;
        EXPECT_EQ(d.estado->color(), Marca::mal) << n;
        EXPECT_EQ(d.estado->texto(), QStringLiteral("propio")) << n;
    }

    DelegadoDePrueba sinVentana(casa.globales());
    sinVentana.mostrar(2, true); // nothing to show it on yet: nothing happens
    EXPECT_FALSE(sinVentana.ventana);
}

// What the main button does for each combination of the flags.
TEST_F(Construido, BotonPrincipalSegunLasBanderas) {
    enum Hace { nada, instala, abre };
    struct Caso {
        bool instalando, abriendo, listo, noAbrio;
        Hace hace;
    };
    const Caso casos[] = {
        {false, false, false, false, instala}, // "Instalar", or "Reintentar" after a failed install
        {false, false, true, false, abre},     // "Abrir VARNO"
        {false, false, false, true, abre},     // "Reintentar" after a failed opening
        {false, false, true, true, abre},      {true, false, false, false, nada},
        {true, false, true, true, nada},       {false, true, false, false, nada},
        {false, true, true, true, nada},       {true, true, false, false, nada},
    };
    for (const Caso& c : casos) {
        d.empezados = d.aperturas = 0;
        d.instalando = c.instalando;
        d.abriendo = c.abriendo;
        d.listo = c.listo;
        d.noAbrio = c.noAbrio;
        pulsar(d.boton);
        const auto dice = ::testing::Message()
                          << c.instalando << c.abriendo << c.listo << c.noAbrio;
        EXPECT_EQ(d.empezados, c.hace == instala ? 1 : 0) << dice;
        EXPECT_EQ(d.aperturas, c.hace == abre ? 1 : 0) << dice;
    }
}

class Receptor : public QObject {
    Q_OBJECT
public:
    QList<QUrl> abiertos;
public slots:
    void abrir(const QUrl& url) { abiertos.append(url); }
};

// The log button opens the engine's log after a failed opening and the
// installation log otherwise.
TEST_F(Construido, BotonDelRegistroAbreElLogQueToca) {
    Receptor r;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &r, "abrir");
    for (const bool noAbrio : {true, false}) {
        d.noAbrio = noAbrio;
        d.mostrar(noAbrio ? 5 : 3);
        pulsar(d.registroBoton);
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(r.abiertos.size(), 2);
    EXPECT_EQ(r.abiertos[0], QUrl::fromLocalFile(d.g.MESA_LOG));
    EXPECT_EQ(r.abiertos[1], QUrl::fromLocalFile(d.g.REGISTRO));
}

// Answers the close question, if one comes up, with the button titled
// `respuesta`; remembers what the question said.
struct Contestador {
    QString respuesta;
    QString texto, informativo;
    QStringList botones;
    QString porDefecto;
    bool vista = false;
    QTimer reloj;

    explicit Contestador(const QString& r)
        : respuesta(r) {
        reloj.setInterval(10);
        QObject::connect(&reloj, &QTimer::timeout, [this] { mirar(); });
        reloj.start();
    }
    void mirar() {
        auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!caja || vista)
            return;
        vista = true;
        texto = caja->text();
        informativo = caja->informativeText();
        for (QAbstractButton* b : caja->buttons())
            botones.append(b->text());
        if (caja->defaultButton())
            porDefecto = caja->defaultButton()->text();
        for (QAbstractButton* b : caja->buttons())
            if (b->text() == respuesta)
                b->click();
    }
};

// The close guard asks only while the installer really runs, and closes or
// stays open as answered.
TEST_F(Construido, GuardaDeCierre) {
    const QString cancelar = QStringLiteral("Cancelar la instalación");
    const QString seguir = QStringLiteral("Seguir");
    struct Caso {
        bool instalando, corre;
        QString respuesta;
        bool pregunta, cierra;
    };
    const Caso casos[] = {
        {false, false, {}, false, true},   {false, true, {}, false, true},
        {true, false, {}, false, true}, // the process ended before the flag was reset
        {true, true, seguir, true, false}, {true, true, cancelar, true, true},
    };
    for (const Caso& c : casos) {
        d.construir();
        d.ventana->show();
        d.instalando = c.instalando;
        d.corre = c.corre;
        d.cancelaciones = 0;
        Contestador contestador(c.respuesta);
        const bool cerro = d.ventana->close();
        const auto dice = ::testing::Message()
                          << c.instalando << c.corre << " " << c.respuesta.toStdString();
        EXPECT_EQ(contestador.vista, c.pregunta) << dice;
        EXPECT_EQ(cerro, c.cierra) << dice;
        EXPECT_EQ(d.ventana->isVisible(), !c.cierra) << dice;
        EXPECT_EQ(d.cancelaciones, c.respuesta == cancelar ? 1 : 0) << dice;
        EXPECT_TRUE(d.ventana) << "kept when closed";
        if (c.pregunta) {
            EXPECT_EQ(contestador.texto, QStringLiteral("La instalación todavía no terminó."));
            EXPECT_EQ(contestador.informativo,
                      QStringLiteral("¿Cancelarla? Se puede volver a empezar después: lo ya "
                                     "descargado no se vuelve a descargar."));
            EXPECT_EQ(contestador.botones.size(), 2);
            EXPECT_TRUE(contestador.botones.contains(cancelar));
            EXPECT_TRUE(contestador.botones.contains(seguir));
            EXPECT_EQ(contestador.porDefecto, cancelar);
        }
    }
}

// Closing the last window ends the event loop; the window object stays.
TEST_F(Construido, CerrarLaUltimaVentanaTermina) {
    d.ventana->show();
    QPointer<Ventana> v = d.ventana.get();
    QTimer::singleShot(0, v, [v] { v->close(); });
    // A guard against a loop that never ends: it would fail the test, not hang it.
    QTimer::singleShot(20'000, qApp, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(v);
    EXPECT_FALSE(v->isVisible());
}

} // namespace

#include "ventana_prueba.moc"
