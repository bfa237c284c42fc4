#include "app/delegado.h"
#include "comun/comun.h"
#include "ui/accesibilidad.h"
#include "ui/marca.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// What `w` draws over a transparent background; colours as #aarrggbb, so that
// a failure shows them.
QImage pintar(QWidget& w) {
    QImage i(w.size(), QImage::Format_ARGB32_Premultiplied);
    i.fill(Qt::transparent);
    w.render(&i, QPoint(), QRegion(), QWidget::DrawChildren);
    return i;
}
std::string de(const QColor& c) {
    return c.name(QColor::HexArgb).toStdString();
}
std::string en(const QImage& i, int x, int y) {
    return de(i.pixelColor(x, y));
}

void entrar(QWidget& w) {
    QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&w, &e);
}

// Whether the widget stopped the event.
bool pulsar(QWidget* w, QEvent::Type tipo = QEvent::MouseButtonPress,
            Qt::MouseButton boton = Qt::LeftButton) {
    QMouseEvent e(tipo, QPointF(20, 20), w->mapToGlobal(QPointF(20, 20)), boton, boton, {});
    e.setAccepted(false);
    QCoreApplication::sendEvent(w, &e);
    return e.isAccepted();
}

// A 480 × 6 bar along its middle row: the fill ends at `relleno` (at least a
// circle once anything is done), the track goes on after it.
TEST(Barra, PistaYRelleno) {
    const struct {
        double valor;
        int relleno;
    } casos[] = {{0, 0}, {0.001, 6}, {0.5, 240}, {1.7, 480}, {-0.2, 0}, {std::nan(""), 0}};
    for (const auto& c : casos) {
        Barra b;
        b.resize(480, 6);
        b.fijarValor(c.valor);
        const QImage i = pintar(b);
        EXPECT_EQ(en(i, 3, 3), de(c.relleno ? Marca::azul : Marca::panel)) << c.valor;
        if (c.relleno)
            EXPECT_EQ(en(i, c.relleno - 4, 3), de(Marca::azul)) << c.valor;
        if (c.relleno < 480)
            EXPECT_EQ(en(i, c.relleno + 3, 3), de(Marca::panel)) << c.valor;
        EXPECT_LT(i.pixelColor(479, 0).alpha(), 255) << "rounded ends";
    }
}

// The fill, the border (secondary only) and the title's ink of a 150 × 42
// button follow from its three flags.
TEST(Boton, AparienciaSegunActivoSecundarioYEncima) {
    const QColor reposo(70, 70, 80), oscuro(10, 10, 12);
    const struct {
        bool activo, secundario, encima;
        QColor relleno, borde, titulo; // borde invalid: none
    } casos[] = {
        {true, false, false, Marca::papel, {}, oscuro},
        {true, false, true, Qt::white, {}, oscuro},
        {true, true, false, Marca::fondo, reposo, Marca::papel},
        {true, true, true, Marca::fondo, Marca::tiza, Marca::papel},
        {false, false, true, Marca::panel, {}, Marca::tiza},
        {false, true, false, Marca::panel, reposo, Marca::tiza},
    };
    for (const auto& c : casos) {
        Boton b;
        b.resize(150, 42);
        b.fijarTitulo(QStringLiteral("Instalar"));
        b.fijarSecundario(c.secundario);
        b.fijarActivo(c.activo);
        if (c.encima)
            entrar(b);
        const QImage i = pintar(b);
        const auto dice = ::testing::Message() << c.activo << c.secundario << c.encima;
        EXPECT_EQ(en(i, 10, 6), de(c.relleno)) << dice;
        EXPECT_EQ(i.pixelColor(0, 0).alpha(), 0) << dice << ": rounded corner";
        if (c.borde.isValid())
            EXPECT_EQ(en(i, 75, 0), de(c.borde)) << dice;
        else
            EXPECT_LT(i.pixelColor(75, 0).alpha(), 200) << dice << ": half a pixel of fill";
        int tinta = 0; // title pixels: in grey, near the title's colour
        for (int k = 0; k < 90 * 18; ++k)
            tinta += qAbs(qGray(i.pixel(30 + k % 90, 12 + k / 90)) - qGray(c.titulo.rgb())) < 8;
        EXPECT_GT(tinta, 20) << dice << ": title";
    }
}

// The action runs once on the left button's press, only while active; the
// press stops at the button; the hand shows only while active; hover follows
// the pointer whatever the state.
TEST(Boton, PulsacionCursorYEncima) {
    QWidget padre; // a window keeps its cursor; a child button gives it back
    Boton b(&padre);
    EXPECT_TRUE(pulsar(&b)) << "without an action nothing happens";
    int veces = 0;
    b.accion = [&] { ++veces; };
    EXPECT_TRUE(pulsar(&b));
    pulsar(&b, QEvent::MouseButtonRelease);
    pulsar(&b, QEvent::MouseButtonPress, Qt::RightButton);
    EXPECT_EQ(veces, 1);
    pulsar(&b, QEvent::MouseButtonDblClick); // the second click of a double click
    EXPECT_EQ(veces, 2);
    EXPECT_EQ(b.cursor().shape(), Qt::PointingHandCursor);
    b.fijarActivo(false);
    EXPECT_TRUE(pulsar(&b));
    EXPECT_EQ(veces, 2);
    EXPECT_FALSE(b.testAttribute(Qt::WA_SetCursor));
    entrar(b);
    EXPECT_TRUE(b.encima());
    QEvent fuera(QEvent::Leave);
    QCoreApplication::sendEvent(&b, &fuera);
    EXPECT_FALSE(b.encima());
    b.fijarActivo(true);
    EXPECT_EQ(b.cursor().shape(), Qt::PointingHandCursor);
}

// One line cut at the tail, line breaks turned into spaces; word wrapping cut
// after its last line, which then ends in "…"; line breaks start new lines; no
// line wider than the label; markup shown as written, ink across its width.
TEST(Etiqueta, CorteLimiteDeLineasYTextoPlano) {
    const QString largo = QStringLiteral(
        "No se pudo descargar ffmpeg. Puedes reintentar: lo ya descargado no se vuelve a "
        "descargar, y todo lo demás queda como estaba antes de empezar.");
    const struct {
        QString texto;
        int ancho, maximas, lineas;
        bool cortado;
    } casos[] = {
        {QStringLiteral("uno\ndos"), 480, 0, 1, false},
        {QStringLiteral("<b>hola</b> &amp; <img src=x>"), 480, 0, 1, false},
        {largo, 200, 0, 1, true},
        {largo, 480, 3, 2, false},
        {largo, 200, 2, 2, true},
        {largo, 200, 3, 3, true},
        {QStringLiteral("uno\ndos\ntres"), 480, 2, 2, true},
        {QStringLiteral("uno\r\ndos"), 480, 3, 2, false},
        {QString(200, QLatin1Char('x')), 200, 2, 2, true}, // a word longer than a line
    };
    for (const auto& c : casos) {
        std::unique_ptr<Etiqueta> e(etiqueta(c.texto, 12.5, Peso::regular, Marca::tiza));
        e->resize(c.ancho, 60);
        e->fijarLineasMaximas(c.maximas);
        const QStringList l = e->lineasVisibles();
        const auto dice = ::testing::Message() << l.join(QLatin1Char('|')).toStdString();
        ASSERT_EQ(l.size(), c.lineas) << dice;
        EXPECT_EQ(l.last().endsWith(QChar(0x2026)), c.cortado) << dice;
        const QFontMetricsF m(fuente(12.5, Peso::regular, e.get()), e.get());
        for (const QString& s : l)
            EXPECT_LE(m.horizontalAdvance(s), c.ancho + 0.5) << dice;
        if (c.cortado)
            continue;
        EXPECT_EQ(l.join(QLatin1Char(' ')), QString(c.texto).simplified()) << dice;
        if (c.lineas > 1)
            continue;
        const QImage i = pintar(*e);
        int derecha = 0;
        for (int x = 0; x < i.width(); ++x)
            for (int y = 0; y < i.height(); ++y)
                if (i.pixelColor(x, y).alpha() > 0)
                    derecha = x;
        EXPECT_NEAR(derecha, m.horizontalAdvance(l[0]), 3) << dice;
    }
}

// Sizes are device-independent pixels, half pixels included: a device of twice
// the DPI gets text of the same height. Inter wherever it is installed.
TEST(Fuente, PixelesIndependientesDeLaPantalla) {
    QImage normal(1, 1, QImage::Format_ARGB32), doble(1, 1, QImage::Format_ARGB32);
    doble.setDotsPerMeterY(normal.dotsPerMeterY() * 2);
    const auto alto = [](qreal tamano, const QImage& i) {
        return QFontMetricsF(fuente(tamano, Peso::regular, &i), &i).height();
    };
    EXPECT_NEAR(alto(38, normal), alto(38, doble), 0.5);
    EXPECT_GT(alto(12.5, normal), alto(12, normal));
    if (QFontDatabase::families().contains(QStringLiteral("Inter")))
        EXPECT_EQ(QFontInfo(fuente(14, Peso::semibold)).family(), QStringLiteral("Inter"));
}

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

// A fixed-size window without a maximise button; building again replaces the
// window and every field, which then lie in the new window.
TEST_F(Ventana_, VentanaFijaYOtraConstruccionLoReemplazaTodo) {
    EXPECT_EQ(d.ventana->minimumSize(), d.ventana->maximumSize());
    EXPECT_EQ(d.ventana->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                          Qt::WindowMaximizeButtonHint),
              Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(d.registroBoton->secundario() && !d.boton->secundario());
    const QPointer<QWidget> antes = d.ventana.get();
    d.construir();
    EXPECT_TRUE(antes.isNull());
    for (const QWidget* w : std::initializer_list<QWidget*>{d.info, d.estado, d.detalle, d.barra,
                                                            d.boton, d.registroBoton})
        EXPECT_TRUE(w && w->window() == d.ventana.get());
}

// Each screen reached from every other, so that nothing depends on the screen
// before; a screen that does not exist changes nothing, and the texts change
// only with the example contents, which always fit.
TEST_F(Ventana_, LasSeisPantallas) {
    const struct {
        qint64 n;
        bool actualizando, info, registro, activo;
        const char* titulo;
        QColor color;
    } pantallas[] = {
        {0, false, true, false, true, "Instalar", Marca::papel},
        {1, false, false, false, false, "Instalando…", Marca::papel},
        {1, true, false, false, false, "Actualizando…", Marca::papel},
        {2, false, false, false, true, "Abrir VARNO", Marca::bien},
        {3, false, false, true, true, "Reintentar", Marca::mal},
        {4, false, false, false, false, "Abriendo…", Marca::papel},
        {5, false, false, true, true, "Reintentar", Marca::mal},
    };
    d.estado->fijarTexto(QStringLiteral("propio"));
    for (const auto& desde : pantallas)
        for (const auto& p : pantallas) {
            d.actualizando = desde.actualizando;
            d.mostrar(desde.n);
            d.actualizando = p.actualizando;
            d.mostrar(p.n);
            d.mostrar(-1, true);
            d.mostrar(6, true);
            const auto dice = ::testing::Message() << desde.n << " → " << p.n;
            EXPECT_EQ(d.info->isHidden(), !p.info) << dice;
            for (QWidget* w : std::initializer_list<QWidget*>{d.estado, d.barra, d.detalle})
                EXPECT_EQ(w->isHidden(), p.n == 0) << dice;
            EXPECT_EQ(d.registroBoton->isHidden(), !p.registro) << dice;
            EXPECT_EQ(d.boton->activo(), p.activo) << dice;
            EXPECT_EQ(d.boton->titulo(), QString::fromUtf8(p.titulo)) << dice;
            EXPECT_EQ(d.estado->color(), p.color) << dice;
            EXPECT_EQ(d.estado->texto(), QStringLiteral("propio")) << dice;
        }
    for (const auto& p : pantallas) {
        d.mostrar(p.n, true);
        EXPECT_EQ(d.estado->texto() == QStringLiteral("propio"), p.n == 0) << p.n;
        EXPECT_FALSE(d.detalle->lineasVisibles().last().endsWith(QChar(0x2026))) << p.n;
    }
}

// The main button under each combination of the flags; the log button opens
// the engine's log after a failed opening, the installation log otherwise.
class Receptor : public QObject {
    Q_OBJECT
public:
    QList<QUrl> abiertos;
public slots:
    void abrir(const QUrl& url) { abiertos.append(url); }
};

TEST_F(Ventana_, LosDosBotones) {
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

// What a screen reader finds on each screen: only the views that show, each
// with its role and whole name; the bar's value clamped as drawn; the buttons
// unavailable and unpressable while inactive or hidden, as with the mouse.
TEST_F(Ventana_, LoQueLeeUnLectorDePantalla) {
    const QString largo = QString(300, QLatin1Char('x'));
    const struct {
        qint64 n;
        std::vector<QWidget*> vistas; // after the logo, the name and the two lines
        double valor, porcentaje;
    } pantallas[] = {
        {0, {d.info, d.boton}, 0.3, 30},
        {1, {d.estado, d.barra, d.detalle, d.boton}, 1.7, 100},
        {2, {d.estado, d.barra, d.detalle, d.boton}, -0.2, 0},
        {3, {d.estado, d.barra, d.detalle, d.boton, d.registroBoton}, std::nan(""), 0},
        {4, {d.estado, d.barra, d.detalle, d.boton}, 0.5, 50},
        {5, {d.estado, d.barra, d.detalle, d.boton, d.registroBoton}, 0.25, 25},
    };
    Receptor r;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &r, "abrir");
    d.ventana->show();
    QAccessibleInterface* ventana = QAccessible::queryAccessibleInterface(d.ventana.get());
    EXPECT_EQ(ventana->role(), QAccessible::Window);
    EXPECT_EQ(ventana->text(QAccessible::Name), QStringLiteral("Instalar VARNO"));
    QAccessibleInterface* plano = ventana->child(0);
    for (const auto& p : pantallas) {
        d.mostrar(p.n, true);
        d.detalle->fijarTexto(largo);
        d.barra->fijarValor(p.valor);
        d.empezados = d.aperturas = 0;
        r.abiertos.clear();
        const auto dice = ::testing::Message() << p.n;
        ASSERT_EQ(plano->childCount(), 4 + int(p.vistas.size())) << dice;
        for (int i = 0; i < plano->childCount(); ++i) {
            QAccessibleInterface* v = plano->child(i);
            const QString nombre = v->text(QAccessible::Name);
            if (i >= 4)
                EXPECT_EQ(v->object(), p.vistas[i - 4]) << dice << " " << i;
            if (auto* e = qobject_cast<Etiqueta*>(v->object())) {
                EXPECT_EQ(v->role(), QAccessible::StaticText) << dice;
                EXPECT_EQ(nombre, e->texto()) << dice;
            } else if (auto* b = qobject_cast<Boton*>(v->object())) {
                EXPECT_EQ(v->role(), QAccessible::Button) << dice;
                EXPECT_EQ(nombre, b->titulo()) << dice;
                EXPECT_EQ(v->state().disabled, !b->activo()) << dice;
                v->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            } else if (qobject_cast<Barra*>(v->object())) {
                EXPECT_EQ(v->role(), QAccessible::ProgressBar) << dice;
                EXPECT_TRUE(v->state().readOnly) << dice;
                v->valueInterface()->setCurrentValue(7.0);
                EXPECT_EQ(v->valueInterface()->currentValue().toDouble(), p.porcentaje) << dice;
            } else {
                EXPECT_EQ(v->role(), QAccessible::Graphic) << dice;
                EXPECT_EQ(nombre, QStringLiteral("VARNO")) << dice;
            }
        }
        EXPECT_EQ(d.empezados + d.aperturas, int(d.boton->activo())) << dice;
        EXPECT_EQ(r.abiertos.size(), int(!d.registroBoton->isHidden())) << dice;
        // A hidden button pressed through a stale reference does nothing.
        QAccessible::queryAccessibleInterface(d.registroBoton)
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(r.abiertos.size(), 2 * int(!d.registroBoton->isHidden())) << dice;
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

// A flood of status and detail changes is announced at once and then at most
// once a pause, status before detail, with the latest texts; hidden labels
// are not announced.
TEST_F(Ventana_, AnunciosDeEstadoYDetalle) {
    static QStringList oidos;
    lectorDePrueba = [](QAccessibleEvent* e) {
        if (e->type() == QAccessible::NameChanged && qobject_cast<Etiqueta*>(e->object()))
            oidos.append(e->accessibleInterface()->text(QAccessible::Name));
    };
    d.ventana->show();
    d.mostrar(1);
    for (int i = 0; i < 100; ++i) {
        d.detalle->fijarTexto(QStringLiteral("d%1").arg(i));
        d.estado->fijarTexto(QStringLiteral("e%1").arg(i));
        d.info->fijarTexto(QStringLiteral("i%1").arg(i));
    }
    pruebas::esperarHasta([] { return oidos.size() > 3; }, 3 * pausaEntreAnuncios);
    lectorDePrueba = nullptr;
    EXPECT_EQ(oidos, (QStringList{"d0", "e99", "d99"}));
}

// The close guard asks only while the installer really runs, with cancelling
// as the default, and closes or stays open as answered from a timer.
TEST_F(Ventana_, GuardaDeCierre) {
    const QString cancelar = QStringLiteral("Cancelar la instalación");
    const struct {
        bool instalando, corre;
        QString respuesta; // empty: no question expected
        bool cierra;
    } casos[] = {{false, true, {}, true},
                 {true, false, {}, true}, // the process ended before the flag was reset
                 {true, true, QStringLiteral("Seguir"), false},
                 {true, true, cancelar, true}};
    for (const auto& c : casos) {
        d.ventana->show();
        d.instalando = c.instalando, d.corre = c.corre, d.cancelaciones = 0;
        QString porDefecto;
        QTimer reloj;
        QObject::connect(&reloj, &QTimer::timeout, [&] {
            if (auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                porDefecto = caja->defaultButton()->text();
                for (QAbstractButton* b : caja->buttons())
                    if (b->text() == c.respuesta)
                        b->click();
            }
        });
        reloj.start(10);
        const auto dice = ::testing::Message()
                          << c.instalando << c.corre << " " << c.respuesta.toStdString();
        EXPECT_EQ(d.ventana->close(), c.cierra) << dice;
        EXPECT_EQ(d.ventana->isVisible(), !c.cierra) << dice;
        EXPECT_EQ(d.cancelaciones, c.respuesta == cancelar) << dice;
        EXPECT_EQ(porDefecto, c.respuesta.isEmpty() ? QString() : cancelar) << dice;
    }
}

// Closing the last window ends the event loop; the window object stays.
TEST_F(Ventana_, CerrarLaUltimaVentanaTermina) {
    d.ventana->show();
    QTimer::singleShot(0, d.ventana.get(), [this] { d.ventana->close(); });
    QTimer::singleShot(20'000, qApp, [] { QCoreApplication::exit(99); }); // rather than hang
    EXPECT_EQ(QApplication::exec(), 0);
    ASSERT_TRUE(d.ventana);
    EXPECT_FALSE(d.ventana->isVisible());
}

} // namespace

#include "ventana_prueba.moc"
