#include "ui/imagen.h"

#include "ui/marca.h"
#include "ui/vistas.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

using pruebas::de;
using pruebas::en;

namespace {

const std::string nada = de(Qt::transparent);

// Inside each bar its colour; past its ends, in the gaps and right of a
// square mark in a wide view, nothing.
TEST(Logo, BarrasEnSuSitio) {
    struct Punto {
        int x, y;
        QColor color; // invalid: nothing drawn
    };
    struct Caso {
        QPointF en;
        qreal lado;
        int lienzo;
        std::vector<Punto> puntos;
    };
    // Side 100: bars (22, 28, 12.5, 44), (44, 15.5, 12.5, 69), (66, 34.5, 12.5, 31).
    // Side 600 at (212, 212): the first bar at (344, 380), 75 × 264.
    const Caso casos[] = {
        {{0, 0},
         100,
         100,
         {{28, 29, Marca::azul},
          {28, 70, Marca::azul},
          {28, 26, {}},
          {28, 73, {}},
          {50, 16, Marca::amarillo},
          {50, 83, Marca::amarillo},
          {50, 14, {}},
          {72, 36, Marca::azul},
          {72, 33, {}},
          {40, 50, {}},
          {80, 50, {}}}},
        {{212, 212}, 600, 900, {{381, 382, Marca::azul}, {342, 500, {}}, {381, 378, {}}}},
    };
    for (const Caso& c : casos) {
        QImage i(c.lienzo, c.lienzo, QImage::Format_ARGB32_Premultiplied);
        i.fill(Qt::transparent);
        QPainter p(&i);
        p.setRenderHint(QPainter::Antialiasing);
        dibujarLogo(p, c.en, c.lado);
        p.end();
        for (const Punto& q : c.puntos)
            EXPECT_EQ(en(i, q.x, q.y), q.color.isValid() ? de(q.color) : nada)
                << c.lado << " en " << q.x << "," << q.y;
    }
    Logo ancho;
    ancho.resize(100, 58);
    const QImage i = pruebas::pintar(ancho);
    EXPECT_EQ(en(i, 29, 29), de(Marca::amarillo));
    for (int x = 58; x < 100; x += 6)
        EXPECT_EQ(en(i, x, 29), nada) << x;
}

// A 480 × 6 bar along its middle row: the fill ends at F (at least a circle
// once anything is done), the track goes on after it.
TEST(Barra, PistaYRelleno) {
    const struct {
        double valor;
        int relleno;
    } casos[] = {{0, 0}, {0.001, 6}, {0.5, 240}, {1.7, 480}, {-0.2, 0}, {std::nan(""), 0}};
    for (const auto& c : casos) {
        Barra b;
        b.resize(480, 6);
        b.fijarValor(c.valor);
        const QImage i = pruebas::pintar(b);
        EXPECT_EQ(en(i, 3, 3), de(c.relleno ? Marca::azul : Marca::panel)) << c.valor;
        if (c.relleno)
            EXPECT_EQ(en(i, c.relleno - 4, 3), de(Marca::azul)) << c.valor;
        if (c.relleno + 3 < 480)
            EXPECT_EQ(en(i, c.relleno + 3, 3), de(Marca::panel)) << c.valor;
        EXPECT_LT(i.pixelColor(479, 0).alpha(), 255) << "rounded ends";
    }
    Barra b;
    b.fijarValor(1.7);
    EXPECT_EQ(b.valor(), 1.7) << "only drawing clamps";
}

void entrar(QWidget& w) {
    QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&w, &e);
}

bool pulsar(QWidget& w, QEvent::Type tipo = QEvent::MouseButtonPress,
            Qt::MouseButton boton = Qt::LeftButton) {
    QMouseEvent e(tipo, QPointF(20, 20), w.mapToGlobal(QPointF(20, 20)), boton, boton, {});
    e.setAccepted(false);
    QCoreApplication::sendEvent(&w, &e);
    return e.isAccepted();
}

// The look of a 150 × 42 button follows from its three flags: the fill, the
// border (secondary only) and the title's colour, which is taken as the pixel
// of the title's area furthest from the fill.
TEST(Boton, AspectoSegunActivoSecundarioYEncima) {
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
        {false, true, true, Marca::panel, Marca::tiza, Marca::tiza},
    };
    for (const auto& c : casos) {
        Boton b;
        b.resize(150, 42);
        b.fijarTitulo(QStringLiteral("Instalar"));
        b.fijarSecundario(c.secundario);
        b.fijarActivo(c.activo);
        if (c.encima)
            entrar(b);
        const QImage i = pruebas::pintar(b);
        const auto dice = ::testing::Message() << c.activo << c.secundario << c.encima;
        EXPECT_EQ(en(i, 10, 6), de(c.relleno)) << dice;
        EXPECT_EQ(i.pixelColor(0, 0).alpha(), 0) << dice << ": rounded corner";
        if (c.borde.isValid())
            EXPECT_EQ(en(i, 75, 0), de(c.borde)) << dice;
        else
            EXPECT_LT(i.pixelColor(75, 0).alpha(), 200) << dice << ": half a pixel of fill";
        QColor tinta = c.relleno;
        int lejos = -1;
        for (int y = 12; y < 30; ++y)
            for (int x = 30; x < 120; ++x) {
                const QColor p = i.pixelColor(x, y);
                const int d = qAbs(p.red() - c.relleno.red()) +
                              qAbs(p.green() - c.relleno.green()) +
                              qAbs(p.blue() - c.relleno.blue());
                if (d > lejos)
                    lejos = d, tinta = p;
            }
        EXPECT_LE(qAbs(tinta.red() - c.titulo.red()) + qAbs(tinta.green() - c.titulo.green()) +
                      qAbs(tinta.blue() - c.titulo.blue()),
                  30)
            << dice << " título " << tinta.name().toStdString();
    }
}

// The action runs once on the left button's press, only while active; the
// press stops at the button; the hand shows only while active; hover follows
// the pointer whatever the state.
TEST(Boton, PulsacionCursorYEncima) {
    QWidget padre; // a window keeps its cursor; a child button gives it back
    Boton b(&padre);
    EXPECT_TRUE(pulsar(b)) << "without an action nothing happens";
    int veces = 0;
    b.accion = [&] { ++veces; };
    EXPECT_TRUE(pulsar(b));
    pulsar(b, QEvent::MouseButtonRelease);
    pulsar(b, QEvent::MouseButtonPress, Qt::RightButton);
    EXPECT_EQ(veces, 1);
    pulsar(b, QEvent::MouseButtonDblClick); // the second click of a double click
    EXPECT_EQ(veces, 2);
    EXPECT_EQ(b.cursor().shape(), Qt::PointingHandCursor);

    b.fijarActivo(false);
    EXPECT_TRUE(pulsar(b));
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

// One line cut at the tail; word wrapping cut after its last line, which then
// ends in an ellipsis; line breaks in the text start new lines; nothing wider
// than the label.
TEST(Etiqueta, CorteYLimiteDeLineas) {
    const QString largo = QStringLiteral(
        "No se pudo descargar ffmpeg. Puedes reintentar: lo ya descargado no se vuelve a "
        "descargar, y todo lo demás queda como estaba antes de empezar.");
    const struct {
        QString texto;
        int ancho, maximas, lineas;
        bool cortado;
    } casos[] = {
        {QStringLiteral("Paso 5 de 7"), 480, 0, 1, false},
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
        if (!c.cortado && c.maximas > 0)
            EXPECT_EQ(l.join(QLatin1Char(' ')), QString(c.texto).simplified()) << dice;
    }
    Etiqueta una(QStringLiteral("uno\ndos"));
    una.resize(480, 20);
    EXPECT_EQ(una.lineasVisibles(), QStringList{QStringLiteral("uno dos")});
}

// Text from outside is shown as written: markup is never interpreted, and
// every character leaves ink across the text's full width.
TEST(Etiqueta, SoloTextoPlano) {
    for (const QString& t : {QStringLiteral("<img src=x>"), QStringLiteral("<b>hola</b>"),
                             QStringLiteral("a &amp; b")}) {
        std::unique_ptr<Etiqueta> e(etiqueta(t, 12.5, Peso::regular, Marca::tiza));
        e->resize(480, 20);
        EXPECT_EQ(e->lineasVisibles(), QStringList{t});
        const QImage i = pruebas::pintar(*e);
        int derecha = 0;
        for (int x = 0; x < i.width(); ++x)
            for (int y = 0; y < i.height(); ++y)
                if (i.pixelColor(x, y).alpha() > 0)
                    derecha = x;
        const QFontMetricsF m(fuente(12.5, Peso::regular, e.get()), e.get());
        EXPECT_NEAR(derecha, m.horizontalAdvance(t), 3) << t.toStdString();
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
    for (const qreal tamano : {11.5, 12.5, 38.0}) {
        EXPECT_NEAR(alto(tamano, normal), alto(tamano, doble), 0.5) << tamano;
        EXPECT_NEAR(alto(tamano, normal), tamano * 1.21, tamano * 0.25) << tamano;
    }
    EXPECT_GT(alto(12.5, normal), alto(12, normal));
    if (QFontDatabase::families().contains(QStringLiteral("Inter")))
        EXPECT_EQ(QFontInfo(fuente(14, Peso::semibold)).family(), QStringLiteral("Inter"));
}

} // namespace
