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

namespace {

// The delegate with its installer and engine calls recorded instead of run.
class DelegadoDePrueba : public Delegado {
public:
    using Delegado::Delegado;
    int empezados = 0, aperturas = 0, cancelaciones = 0;
    bool corre = false;

    void empezar() override { ++empezados; }
    void abrirYEsperar() override { ++aperturas; }
    bool instaladorCorre() const override { return corre; }
    void cancelarInstalacion() override { ++cancelaciones; }
};

struct Ventana_ : ::testing::Test {
    pruebas::Casa casa;
    DelegadoDePrueba d{casa.globales()};
    void SetUp() override { d.construir(); }
};

void pulsar(QWidget* w) {
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(10, 10), w->mapToGlobal(QPointF(10, 10)),
                  Qt::LeftButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(w, &e);
}

// The ten views in drawing order at their frames, with their texts and looks,
// and the window around them.
TEST_F(Ventana_, DiezVistasEnOrdenYEnSuSitio) {
    const struct {
        const char* clase;
        QRect marco;
        const char* texto;
        qreal tamano;
        Peso peso;
        QColor color;
        int lineas;
    } vistas[] = {
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
    const QObjectList hijos = d.ventana->contenido()->children();
    ASSERT_EQ(hijos.size(), std::size(vistas));
    for (size_t k = 0; k < std::size(vistas); ++k) {
        const auto& v = vistas[k];
        auto* w = qobject_cast<QWidget*>(hijos[k]);
        EXPECT_STREQ(w->metaObject()->className(), v.clase) << k;
        EXPECT_EQ(w->geometry(), v.marco) << k;
        if (auto* e = qobject_cast<Etiqueta*>(w)) {
            EXPECT_EQ(e->texto(), QString::fromUtf8(v.texto)) << k;
            EXPECT_EQ(std::tuple(e->tamano(), e->peso(), e->color(), e->lineasMaximas()),
                      std::tuple(v.tamano, v.peso, v.color, v.lineas))
                << k;
        }
        if (auto* b = qobject_cast<Boton*>(w))
            EXPECT_EQ(b->titulo(), QString::fromUtf8(v.texto)) << k;
    }
    const QObject* campos[] = {d.info, d.estado, d.barra, d.detalle, d.boton, d.registroBoton};
    EXPECT_TRUE(std::equal(hijos.begin() + 4, hijos.end(), std::begin(campos)));
    EXPECT_TRUE(d.registroBoton->secundario() && !d.boton->secundario());

    Ventana& v = *d.ventana;
    EXPECT_EQ(v.windowTitle(), QStringLiteral("Instalar VARNO"));
    EXPECT_EQ(v.minimumSize(), QSize(560, 372));
    EXPECT_EQ(v.maximumSize(), QSize(560, 372));
    EXPECT_EQ(v.contenido()->geometry(), QRect(0, 0, 560, 372));
    EXPECT_EQ(v.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                 Qt::WindowMaximizeButtonHint),
              Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(v.testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(pruebas::en(pruebas::pintar(v), 545, 200), pruebas::de(Marca::fondo));
}

// A second build replaces the window and all seven fields.
TEST_F(Ventana_, OtraConstruccionLoReemplazaTodo) {
    const QPointer<QObject> antes[] = {d.ventana.get(),       d.info.data(),  d.estado.data(),
                                       d.detalle.data(),      d.barra.data(), d.boton.data(),
                                       d.registroBoton.data()};
    d.construir();
    for (const auto& a : antes)
        EXPECT_TRUE(a.isNull());
    for (QWidget* w : {(QWidget*)d.info, (QWidget*)d.estado, (QWidget*)d.detalle, (QWidget*)d.barra,
                       (QWidget*)d.boton, (QWidget*)d.registroBoton})
        EXPECT_EQ(w->window(), d.ventana.get());
}

// Visibility, titles and colours of the six screens, each reached from every
// other so that nothing depends on the screen before; then the example texts.
TEST_F(Ventana_, LasSeisPantallas) {
    const struct {
        qint64 n;
        bool actualizando, info, registro, activo;
        const char* titulo;
        QColor color;
        const char *estado, *detalle;
        double barra;
    } pantallas[] = {
        {0, false, true, false, true, "Instalar", Marca::papel, "", "", 0},
        {1, false, false, false, false, "Instalando…", Marca::papel,
         "Paso 5 de 7 · Las bibliotecas", "Downloading torch (60.5MiB)", 0.5},
        {1, true, false, false, false, "Actualizando…", Marca::papel,
         "Paso 5 de 7 · Las bibliotecas", "Downloading torch (60.5MiB)", 0.5},
        {2, false, false, false, true, "Abrir VARNO", Marca::bien, "VARNO está instalado.",
         "Se abre ahora. Las próximas veces, desde Aplicaciones o Launchpad.", 1.0},
        {3, false, false, true, true, "Reintentar", Marca::mal,
         "No se pudo terminar la instalación.",
         "No se pudo descargar ffmpeg. Puedes reintentar: lo ya descargado no se vuelve a "
         "descargar.",
         0.1},
        {4, false, false, false, false, "Abriendo…", Marca::papel, "Abriendo VARNO…",
         "La primera vez puede tardar uno o dos minutos.", 0.4},
        {5, false, false, true, true, "Reintentar", Marca::mal, "VARNO no pudo abrirse.",
         "ModuleNotFoundError: No module named 'cv2'", 0.6},
    };
    for (const auto& desde : pantallas)
        for (const auto& p : pantallas) {
            d.actualizando = desde.actualizando;
            d.mostrar(desde.n);
            d.actualizando = p.actualizando;
            d.mostrar(p.n);
            const auto dice = ::testing::Message() << desde.n << " → " << p.n;
            EXPECT_EQ(d.info->isHidden(), !p.info) << dice;
            for (QWidget* w : {(QWidget*)d.estado, (QWidget*)d.barra, (QWidget*)d.detalle})
                EXPECT_EQ(w->isHidden(), p.n == 0) << dice;
            EXPECT_EQ(d.registroBoton->isHidden(), !p.registro) << dice;
            EXPECT_EQ(d.boton->activo(), p.activo) << dice;
            EXPECT_EQ(d.boton->titulo(), QString::fromUtf8(p.titulo)) << dice;
            EXPECT_EQ(d.estado->color(), p.color) << dice;
        }
    for (const auto& p : pantallas) {
        d.estado->fijarTexto(QStringLiteral("propio"));
        d.mostrar(p.n);
        EXPECT_EQ(d.estado->texto(), QStringLiteral("propio")) << "without examples, kept";
        d.detalle->fijarTexto(QString());
        d.barra->fijarValor(0);
        d.mostrar(p.n, true);
        if (p.n == 0)
            continue; // no examples on the first screen
        EXPECT_EQ(d.estado->texto(), QString::fromUtf8(p.estado)) << p.n;
        EXPECT_EQ(d.detalle->texto(), QString::fromUtf8(p.detalle)) << p.n;
        EXPECT_EQ(d.barra->valor(), p.barra) << p.n;
        EXPECT_FALSE(d.detalle->lineasVisibles().last().endsWith(QChar(0x2026))) << "fits";
    }
    EXPECT_EQ(d.estado->texto(), QStringLiteral("VARNO no pudo abrirse."));
    // A screen that does not exist changes nothing.
    for (const qint64 n : {-1, 6, 1000}) {
        d.mostrar(n, true);
        EXPECT_EQ(d.boton->titulo(), QStringLiteral("Reintentar")) << n;
        EXPECT_EQ(d.estado->color(), Marca::mal) << n;
        EXPECT_FALSE(d.registroBoton->isHidden()) << n;
    }
}

// What the main button does under each combination of the flags.
TEST_F(Ventana_, BotonPrincipalSegunLasBanderas) {
    enum { nada, instala, abre };
    const struct {
        bool instalando, abriendo, listo, noAbrio;
        int hace;
    } casos[] = {
        {false, false, false, false, instala}, {false, false, true, false, abre},
        {false, false, false, true, abre},     {false, false, true, true, abre},
        {true, false, false, false, nada},     {true, false, true, true, nada},
        {false, true, false, false, nada},     {false, true, true, true, nada},
    };
    for (const auto& c : casos) {
        d.empezados = d.aperturas = 0;
        d.instalando = c.instalando, d.abriendo = c.abriendo;
        d.listo = c.listo, d.noAbrio = c.noAbrio;
        pulsar(d.boton);
        const auto dice = ::testing::Message()
                          << c.instalando << c.abriendo << c.listo << c.noAbrio;
        EXPECT_EQ(d.empezados, c.hace == instala) << dice;
        EXPECT_EQ(d.aperturas, c.hace == abre) << dice;
    }
}

class Receptor : public QObject {
    Q_OBJECT
public:
    QList<QUrl> abiertos;
public slots:
    void abrir(const QUrl& url) { abiertos.append(url); }
};

// The log button opens the engine's log after a failed opening, the
// installation log otherwise.
TEST_F(Ventana_, BotonDelRegistroAbreElLogQueToca) {
    Receptor r;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &r, "abrir");
    for (const bool noAbrio : {true, false}) {
        d.noAbrio = noAbrio;
        pulsar(d.registroBoton);
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(r.abiertos,
              (QList<QUrl>{QUrl::fromLocalFile(d.g.MESA_LOG), QUrl::fromLocalFile(d.g.REGISTRO)}));
}

// The close guard asks only while the installer really runs, and closes or
// stays open as answered; the question is answered from a timer, as a user would.
TEST_F(Ventana_, GuardaDeCierre) {
    const QString cancelar = QStringLiteral("Cancelar la instalación");
    const QString seguir = QStringLiteral("Seguir");
    const struct {
        bool instalando, corre;
        QString respuesta; // empty: no question expected
        bool cierra;
    } casos[] = {
        {false, false, {}, true},    {false, true, {}, true},
        {true, false, {}, true}, // the process ended before the flag was reset
        {true, true, seguir, false}, {true, true, cancelar, true},
    };
    for (const auto& c : casos) {
        d.ventana->show();
        d.instalando = c.instalando, d.corre = c.corre, d.cancelaciones = 0;
        QStringList vista; // text, informative text, default button, buttons
        QTimer reloj;
        QObject::connect(&reloj, &QTimer::timeout, [&] {
            auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!caja || !vista.isEmpty())
                return;
            vista << caja->text() << caja->informativeText() << caja->defaultButton()->text();
            for (QAbstractButton* b : caja->buttons())
                vista << b->text();
            for (QAbstractButton* b : caja->buttons())
                if (b->text() == c.respuesta)
                    b->click();
        });
        reloj.start(10);
        const bool cerro = d.ventana->close();
        const auto dice = ::testing::Message()
                          << c.instalando << c.corre << " " << c.respuesta.toStdString();
        EXPECT_EQ(cerro, c.cierra) << dice;
        EXPECT_EQ(d.ventana->isVisible(), !c.cierra) << dice;
        EXPECT_EQ(d.cancelaciones, c.respuesta == cancelar) << dice;
        if (c.respuesta.isEmpty()) {
            EXPECT_TRUE(vista.isEmpty()) << dice;
            continue;
        }
        ASSERT_EQ(vista.size(), 5) << dice;
        EXPECT_EQ(vista[0], QStringLiteral("La instalación todavía no terminó."));
        EXPECT_EQ(vista[1], QStringLiteral("¿Cancelarla? Se puede volver a empezar después: lo "
                                           "ya descargado no se vuelve a descargar."));
        EXPECT_EQ(vista[2], cancelar) << "the default";
        EXPECT_EQ(QStringList(vista.mid(3)).count(cancelar) + vista.mid(3).count(seguir), 2);
    }
}

// Closing the last window ends the event loop; the window object stays.
TEST_F(Ventana_, CerrarLaUltimaVentanaTermina) {
    d.ventana->show();
    QTimer::singleShot(0, d.ventana.get(), [this] { d.ventana->close(); });
    // A loop that never ends fails the test instead of hanging it.
    QTimer::singleShot(20'000, qApp, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    ASSERT_TRUE(d.ventana);
    EXPECT_FALSE(d.ventana->isVisible());
}

} // namespace

#include "ventana_prueba.moc"
