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
#include <limits>

using pruebas::de;
using pruebas::en;

namespace {

const std::string transparente = pruebas::hex(qRgba(0, 0, 0, 0));

struct Punto {
    int x, y;
    QColor color; // invalid: nothing drawn there
};

std::string esperado(const QColor& c) {
    return c.isValid() ? de(c) : transparente;
}

// The mark at several corners and sides: inside each bar its colour, just
// outside its ends and in the gaps nothing.
TEST(Logo, BarrasEnSuSitio) {
    struct Caso {
        QPointF en;
        qreal lado;
        QSize lienzo;
        std::vector<Punto> puntos;
    };
    const Caso casos[] = {
        // Bars (22, 28, 12.5, 44), (44, 15.5, 12.5, 69), (66, 34.5, 12.5, 31).
        {{0, 0},
         100,
         {100, 100},
         {{28, 50, Marca::azul},
          {28, 29, Marca::azul},
          {28, 26, {}},
          {28, 73, {}},
          {50, 16, Marca::amarillo},
          {50, 83, Marca::amarillo},
          {50, 14, {}},
          {72, 36, Marca::azul},
          {72, 33, {}},
          {20, 50, {}},
          {40, 50, {}},
          {80, 50, {}}}},
        // First bar at x 344, y 380, 75 × 264.
        {{212, 212},
         600,
         {900, 900},
         {{381, 382, Marca::azul}, {342, 500, {}}, {381, 378, {}}, {417, 600, Marca::azul}}},
    };
    for (const Caso& c : casos) {
        QImage i(c.lienzo, QImage::Format_ARGB32_Premultiplied);
        i.fill(Qt::transparent);
        {
            QPainter p(&i);
            p.setRenderHint(QPainter::Antialiasing);
            dibujarLogo(p, c.en, c.lado);
        }
        for (const Punto& q : c.puntos)
            EXPECT_EQ(en(i, q.x, q.y), esperado(q.color))
                << "lado " << c.lado << " en " << q.x << "," << q.y;
    }
}

// A view wider than tall keeps the mark in the square at its left.
TEST(Logo, VistaAnchaDibujaEnElCuadradoDeLaIzquierda) {
    Logo logo;
    logo.resize(100, 58);
    const QImage i = pruebas::pintar(logo);
    EXPECT_EQ(en(i, 29, 29), de(Marca::amarillo)); // 58 × 0.44 + 3.6
    EXPECT_EQ(en(i, 16, 29), de(Marca::azul));     // 58 × 0.22 + 3.6
    for (int x = 58; x < 100; x += 6)
        EXPECT_EQ(en(i, x, 29), transparente) << x;
}

// Track and fill of a 480 × 6 bar along the middle row: the fill ends at F
// (a circle at least once anything is done), the track goes on after it.
TEST(Barra, PistaYRelleno) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Caso {
        double valor;
        int relleno;
    };
    const Caso casos[] = {{0, 0},     {0.001, 6}, {0.0125, 6}, {0.5, 240},
                          {1.7, 480}, {1, 480},   {-0.2, 0},   {nan, 0}};
    for (const Caso& c : casos) {
        Barra b;
        b.resize(480, 6);
        b.fijarValor(c.valor);
        const QImage i = pruebas::pintar(b);
        const auto dice = ::testing::Message() << "valor " << c.valor;
        if (c.relleno > 0) {
            EXPECT_EQ(en(i, 3, 3), de(Marca::azul)) << dice;
            EXPECT_EQ(en(i, c.relleno - 4, 3), de(Marca::azul)) << dice;
        } else {
            EXPECT_EQ(en(i, 3, 3), de(Marca::panel)) << dice;
        }
        if (c.relleno + 3 < 480)
            EXPECT_EQ(en(i, c.relleno + 3, 3), de(Marca::panel)) << dice;
        // Rounded ends: the corner pixels are only partly covered.
        EXPECT_LT(i.pixelColor(0, 0).alpha(), 255) << dice;
        EXPECT_LT(i.pixelColor(479, 5).alpha(), 255) << dice;
        // The value is stored as given; only drawing clamps it.
        if (!std::isnan(c.valor))
            EXPECT_EQ(b.valor(), c.valor);
    }
}

void entrar(QWidget& w) {
    QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&w, &e);
}
void salir(QWidget& w) {
    QEvent e(QEvent::Leave);
    QCoreApplication::sendEvent(&w, &e);
}
bool pulsar(QWidget& w, Qt::MouseButton boton = Qt::LeftButton,
            QEvent::Type tipo = QEvent::MouseButtonPress) {
    QMouseEvent e(tipo, QPointF(20, 20), w.mapToGlobal(QPointF(20, 20)), boton,
                  tipo == QEvent::MouseButtonRelease ? Qt::NoButton : boton, Qt::NoModifier);
    e.setAccepted(false);
    QCoreApplication::sendEvent(&w, &e);
    return e.isAccepted();
}

// The title's colour: the pixel in the title's area furthest from the fill.
QColor tinta(const QImage& i, const QColor& relleno) {
    QColor mejor = relleno;
    int distancia = -1;
    for (int y = 12; y < 30; ++y)
        for (int x = 30; x < 120; ++x) {
            const QColor c = i.pixelColor(x, y);
            const int d = qAbs(c.red() - relleno.red()) + qAbs(c.green() - relleno.green()) +
                          qAbs(c.blue() - relleno.blue());
            if (d > distancia) {
                distancia = d;
                mejor = c;
            }
        }
    return mejor;
}

// The look of a 150 × 42 button follows from its three flags.
TEST(Boton, AspectoSegunActivoSecundarioYEncima) {
    const QColor bordeReposo(70, 70, 80);
    const QColor tituloOscuro(10, 10, 12);
    struct Caso {
        bool activo, secundario, encima;
        QColor relleno, borde, titulo; // borde invalid: none
    };
    const Caso casos[] = {
        {true, false, false, Marca::papel, {}, tituloOscuro},
        {true, false, true, Qt::white, {}, tituloOscuro},
        {true, true, false, Marca::fondo, bordeReposo, Marca::papel},
        {true, true, true, Marca::fondo, Marca::tiza, Marca::papel},
        {false, false, false, Marca::panel, {}, Marca::tiza},
        {false, false, true, Marca::panel, {}, Marca::tiza},
        {false, true, false, Marca::panel, bordeReposo, Marca::tiza},
        {false, true, true, Marca::panel, Marca::tiza, Marca::tiza},
    };
    for (const Caso& c : casos) {
        Boton b;
        b.resize(150, 42);
        b.fijarTitulo(QStringLiteral("Instalar"));
        b.fijarSecundario(c.secundario);
        b.fijarActivo(c.activo);
        if (c.encima)
            entrar(b);
        const QImage i = pruebas::pintar(b);
        const auto dice = ::testing::Message() << "activo " << c.activo << " secundario "
                                               << c.secundario << " encima " << c.encima;
        EXPECT_EQ(en(i, 10, 6), de(c.relleno)) << dice;
        EXPECT_EQ(en(i, 140, 36), de(c.relleno)) << dice;
        if (c.borde.isValid()) {
            EXPECT_EQ(en(i, 75, 0), de(c.borde)) << dice;
            EXPECT_EQ(en(i, 0, 21), de(c.borde)) << dice;
        } else {
            // Half a pixel of fill and nothing else on the outer row.
            EXPECT_LT(i.pixelColor(75, 0).alpha(), 200) << dice;
        }
        // Rounded corners, radius 8: the very corner stays empty.
        EXPECT_EQ(i.pixelColor(0, 0).alpha(), 0) << dice;
        const QColor t = tinta(i, c.relleno);
        EXPECT_LE(qAbs(t.red() - c.titulo.red()) + qAbs(t.green() - c.titulo.green()) +
                      qAbs(t.blue() - c.titulo.blue()),
                  30)
            << dice << " título " << t.name().toStdString();
    }
}

TEST(Boton, SinTituloSoloLaForma) {
    Boton b;
    b.resize(150, 42);
    const QImage i = pruebas::pintar(b);
    // Everything but the rounded corners is the fill: no ink anywhere.
    EXPECT_EQ(pruebas::cuantos(i, QRect(9, 1, 132, 40), Marca::papel, 0), 132 * 40);
    EXPECT_EQ(pruebas::cuantos(i, QRect(1, 9, 148, 24), Marca::papel, 0), 148 * 24);
}

// The action runs once on the left button's press, only while active; the
// press never reaches the parent.
TEST(Boton, PulsacionYCursor) {
    QWidget padre; // a window keeps its cursor; a child button gives it back
    Boton b(&padre);
    b.resize(150, 42);
    int veces = 0;
    EXPECT_TRUE(pulsar(b)) << "sin acción no pasa nada, y tampoco al padre";
    b.accion = [&] { ++veces; };
    EXPECT_TRUE(pulsar(b));
    EXPECT_EQ(veces, 1);
    pulsar(b, Qt::LeftButton, QEvent::MouseButtonRelease);
    pulsar(b, Qt::RightButton);
    EXPECT_EQ(veces, 1);
    pulsar(b, Qt::LeftButton, QEvent::MouseButtonDblClick); // the second click of a double
    EXPECT_EQ(veces, 2);
    EXPECT_TRUE(b.testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(b.cursor().shape(), Qt::PointingHandCursor);

    b.fijarActivo(false);
    EXPECT_TRUE(pulsar(b));
    EXPECT_EQ(veces, 2);
    EXPECT_FALSE(b.testAttribute(Qt::WA_SetCursor));
    b.fijarActivo(true);
    EXPECT_EQ(b.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(b.focusPolicy(), Qt::NoFocus);
}

TEST(Boton, EncimaSigueAlPuntero) {
    Boton b;
    EXPECT_FALSE(b.encima());
    entrar(b);
    EXPECT_TRUE(b.encima());
    b.fijarActivo(false); // hover is the pointer's, whatever the button's state
    EXPECT_TRUE(b.encima());
    salir(b);
    EXPECT_FALSE(b.encima());
}

Etiqueta* label(const QString& texto, int ancho, int lineas = 0) {
    auto* e = etiqueta(texto, 12.5, Peso::regular, Marca::tiza);
    e->resize(ancho, 60);
    e->fijarLineasMaximas(lineas);
    return e;
}

// One line cut at the tail; word wrapping cut after its last line, which then
// ends in an ellipsis; line breaks in the text start new lines.
TEST(Etiqueta, CorteYLimiteDeLineas) {
    const QString largo = QStringLiteral(
        "No se pudo descargar ffmpeg. Puedes reintentar: lo ya descargado no se vuelve a "
        "descargar, y todo lo demás queda como estaba antes de empezar.");
    const QChar puntos(0x2026);
    struct Caso {
        QString texto;
        int ancho, lineas;
        int lineasEsperadas;
        bool cortado;
    };
    const Caso casos[] = {
        {QStringLiteral("Paso 5 de 7"), 480, 0, 1, false},
        {largo, 200, 0, 1, true},
        {QStringLiteral("uno\ndos"), 480, 0, 1, false},
        {largo, 480, 3, 2, false},
        {largo, 200, 2, 2, true},
        {largo, 200, 3, 3, true},
        {QStringLiteral("uno\ndos\ntres"), 480, 2, 2, true},
        {QStringLiteral("uno\r\ndos"), 480, 3, 2, false},
        {QString(200, QLatin1Char('x')), 200, 2, 2, true}, // a word longer than a line
        {QString(), 480, 2, 1, false},
    };
    for (const Caso& c : casos) {
        std::unique_ptr<Etiqueta> e(label(c.texto, c.ancho, c.lineas));
        const QStringList l = e->lineasVisibles();
        const auto dice = ::testing::Message()
                          << c.texto.left(20).toStdString() << " en " << c.ancho << ", " << c.lineas
                          << " líneas: " << l.join(QLatin1Char('|')).toStdString();
        ASSERT_EQ(l.size(), c.lineasEsperadas) << dice;
        EXPECT_EQ(l.last().endsWith(puntos), c.cortado) << dice;
        const QFontMetricsF m(fuente(12.5, Peso::regular, e.get()), e.get());
        for (const QString& s : l)
            EXPECT_LE(m.horizontalAdvance(s), c.ancho + 0.5) << dice;
        if (!c.cortado && c.lineas > 0)
            EXPECT_EQ(l.join(QLatin1Char(' ')).simplified(), QString(c.texto).simplified()) << dice;
    }
    std::unique_ptr<Etiqueta> una(label(QStringLiteral("uno\ndos"), 480));
    EXPECT_EQ(una->lineasVisibles(), QStringList{QStringLiteral("uno dos")});
}

// Text from outside is shown as written: markup is never interpreted.
TEST(Etiqueta, SoloTextoPlano) {
    for (const QString& t : {QStringLiteral("<img src=x>"), QStringLiteral("<b>hola</b>"),
                             QStringLiteral("a &amp; b"), QStringLiteral("<!-- nada -->")}) {
        std::unique_ptr<Etiqueta> e(label(t, 480));
        EXPECT_EQ(e->lineasVisibles(), QStringList{t});
        e->resize(480, 20);
        const QImage i = pruebas::pintar(*e);
        // Every character leaves ink, so the text's full width is drawn.
        const qreal ancho =
            QFontMetricsF(fuente(12.5, Peso::regular, e.get()), e.get()).horizontalAdvance(t);
        int derecha = 0;
        for (int x = 0; x < i.width(); ++x)
            for (int y = 0; y < i.height(); ++y)
                if (i.pixelColor(x, y).alpha() > 0)
                    derecha = x;
        EXPECT_NEAR(derecha, ancho, 3) << t.toStdString();
    }
}

// Sizes are device-independent pixels: the same text is as high on a device
// of twice the DPI; and the family is Inter wherever it is installed.
TEST(Fuente, PixelesIndependientesDeLaPantalla) {
    QImage normal(10, 10, QImage::Format_ARGB32);
    QImage doble(10, 10, QImage::Format_ARGB32);
    doble.setDotsPerMeterX(normal.dotsPerMeterX() * 2);
    doble.setDotsPerMeterY(normal.dotsPerMeterY() * 2);
    for (const qreal tamano : {11.5, 12.5, 38.0}) {
        const qreal a = QFontMetricsF(fuente(tamano, Peso::regular, &normal), &normal).height();
        const qreal b = QFontMetricsF(fuente(tamano, Peso::regular, &doble), &doble).height();
        EXPECT_NEAR(a, b, 0.5) << tamano;
        EXPECT_NEAR(a, tamano * 1.21, tamano * 0.25) << tamano;
    }
    const qreal medio = QFontMetricsF(fuente(12.5, Peso::regular, &normal), &normal).height();
    const qreal entero = QFontMetricsF(fuente(12, Peso::regular, &normal), &normal).height();
    EXPECT_GT(medio, entero) << "los medios píxeles cuentan";
#ifndef Q_OS_MACOS
    if (QFontDatabase::families().contains(QStringLiteral("Inter")))
        EXPECT_EQ(QFontInfo(fuente(14, Peso::semibold)).family(), QStringLiteral("Inter"));
#endif
    EXPECT_EQ(fuente(38, Peso::heavy).weight(), QFont::ExtraBold);
}

} // namespace
