#include "app/delegado.h"
#include "comun/comun.h"
#include "engine/motor.h"
#include "ui/accesibilidad.h"
#include "ui/marca.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

namespace {

// Whether the widget stopped the event.
bool pulsar(QWidget* w, QEvent::Type tipo = QEvent::MouseButtonPress,
            Qt::MouseButton boton = Qt::LeftButton) {
    QMouseEvent e(tipo, QPointF(20, 20), w->mapToGlobal(QPointF(20, 20)), boton, boton, {});
    e.setAccepted(false);
    QCoreApplication::sendEvent(w, &e);
    return e.isAccepted();
}

// A new value is painted at once; a screen reader reads it in percent, within 0..100, read-only.
TEST(Barra, RellenoDibujadoYLeido) {
    instalarAccesibilidad();
    struct Contada : Barra {
        int pintadas = 0;
        void paintEvent(QPaintEvent* e) override { ++pintadas, Barra::paintEvent(e); }
    } contada;
    contada.show();
    QCoreApplication::processEvents();
    contada.pintadas = 0;
    contada.fijarValor(0.5);
    QCoreApplication::processEvents();
    EXPECT_GT(contada.pintadas, 0);
    for (const auto& [valor, porcentaje] :
         {std::pair(0.0, 0.0), {0.002, 0.2}, {0.5, 50.0}, {1.7, 100.0}, {std::nan(""), 0.0}}) {
        Barra b;
        b.fijarValor(valor);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&b);
        a->valueInterface()->setCurrentValue(7.0);
        EXPECT_DOUBLE_EQ(a->valueInterface()->currentValue().toDouble(), porcentaje) << valor;
        EXPECT_TRUE(a->state().readOnly);
    }
}

// Cut with "…" after the last line allowed, inside a long word too; line breaks start lines
// (spaces on a single line); nothing wider than the label, each line inked; markup as written.
TEST(Etiqueta, CorteLimiteDeLineasYTextoPlano) {
    const QString largo = QStringLiteral("No se pudo descargar ffmpeg. Puedes reintentar: lo ya "
                                         "descargado no se vuelve a descargar.");
    // (text, width, most lines, lines shown, cut)
    for (const auto& [texto, ancho, maximas, lineas, cortado] :
         {std::tuple(largo, 200, 0, 1, true),
          {largo, 200, 2, 2, true},
          {QStringLiteral("uno\ndos\ntres"), 480, 2, 2, true},
          {QStringLiteral("<b>hola</b>\n&amp; <img src=x>"), 480, 0, 1, false},
          {QString(200, QLatin1Char('x')), 200, 2, 2, true}}) {
        std::unique_ptr<Etiqueta> e(etiqueta(texto, 12.5, Peso::regular, Marca::tiza));
        e->resize(ancho, 60);
        e->fijarLineasMaximas(maximas);
        const QStringList l = e->lineasVisibles();
        SCOPED_TRACE(l.join(QLatin1Char('|')).toStdString());
        ASSERT_EQ(l.size(), lineas);
        EXPECT_EQ(l.last().endsWith(QChar(0x2026)), cortado);
        const QFontMetricsF m(fuente(12.5, Peso::regular, e.get()), e.get());
        for (const QString& s : l) // and no space left before a line's end or its "…"
            EXPECT_TRUE(m.horizontalAdvance(s) <= ancho + 0.5 &&
                        !s.contains(QRegularExpression(" …?$")));
        EXPECT_TRUE(cortado || l.join(QLatin1Char(' ')) == texto.simplified());
        const QImage con = e->grab().toImage();
        e->fijarTexto({});
        const QImage sin = e->grab().toImage();
        for (int i = 0; i < lineas; ++i) {
            const QRect linea(0, int(i * m.lineSpacing()), ancho, int(m.lineSpacing()));
            EXPECT_NE(con.copy(linea), sin.copy(linea)) << i;
        }
    }
}

// The delegate with its installer and engine calls recorded instead of run.
struct DelegadoDePrueba : Delegado {
    using Delegado::Delegado;
    int empezados = 0, aperturas = 0, cancelaciones = 0;
    bool corre = false;

    void empezar() override { ++empezados; }
    void abrirYEsperar() override { ++aperturas; }
    bool instaladorCorre() const override { return corre; }
    void cancelarInstalacion() override { ++cancelaciones; }
};

// The window of a delegate whose files open into `abiertos`.
struct Ventana_ : QObject, ::testing::Test {
    Q_OBJECT
public:
    pruebas::Casa casa;
    DelegadoDePrueba d{casa.globales()};
    QList<QUrl> abiertos;
    Ventana_() { d.construir(), QDesktopServices::setUrlHandler("file", this, "abrir"); }
    ~Ventana_() override { QDesktopServices::unsetUrlHandler("file"); }
public slots:
    void abrir(const QUrl& url) { abiertos.append(url); }
};

// Each screen: button title, whether it acts (the hand), status colour, views shown; no screen
// changes nothing; example texts, which fit, change only with them.
TEST_F(Ventana_, LasSeisPantallas) {
    const QList<QWidget*> primera{d.info, d.boton}, abajo{d.estado, d.barra, d.detalle, d.boton},
        fallo{d.estado, d.barra, d.detalle, d.boton, d.registroBoton};
    d.ventana->show();
    // (screen, updating, views shown besides the logo and the name, active, title, colour)
    for (const auto& [n, actualizando, vistas, activo, titulo, color] :
         {std::tuple(0, false, primera, true, "Instalar", Marca::papel),
          {1, false, abajo, false, "Instalando…", Marca::papel},
          {1, true, abajo, false, "Actualizando…", Marca::papel},
          {2, false, abajo, true, "Abrir VARNO", Marca::bien},
          {3, false, fallo, true, "Reintentar", Marca::mal},
          {4, false, abajo, false, "Abriendo…", Marca::papel},
          {5, false, fallo, true, "Reintentar", Marca::mal},
          {0, false, primera, true, "Instalar", Marca::papel}}) {
        SCOPED_TRACE(n);
        d.estado->fijarTexto(QStringLiteral("propio"));
        d.actualizando = actualizando;
        d.mostrar(n);
        d.mostrar(-1, true);
        d.mostrar(6, true);
        EXPECT_EQ(d.boton->titulo(), QString::fromUtf8(titulo));
        EXPECT_EQ(std::pair(d.boton->activo(), d.boton->testAttribute(Qt::WA_SetCursor)),
                  std::pair(activo, activo));
        EXPECT_EQ(std::pair(d.estado->color(), d.estado->texto()),
                  std::pair(color, QStringLiteral("propio")));
        for (QWidget* w : fallo + primera)
            EXPECT_EQ(w->isVisible(), vistas.contains(w)) << w->metaObject()->className();
        d.mostrar(n, true);
        EXPECT_EQ(d.estado->texto() == QStringLiteral("propio"), n == 0);
        EXPECT_TRUE(!n || (d.barra->valor() > 0 &&
                           !d.detalle->lineasVisibles().last().endsWith(QChar(0x2026))));
    }
}

// Clicked or pressed by a reader, only a left press of an active button acts, and stops there:
// it installs, or opens once installed or after a failed opening; nothing while either runs. The
// log button opens, after a failed opening, what the engine printed, else the installation log.
TEST_F(Ventana_, LosDosBotones) {
    enum { nada, instala, abre };
    d.ventana->show();
    pruebas::escribir(salidaDelMotor(d.g), "ImportError: falta cv2\n");
    // (installing, opening, installed, failed to open, button active, what a press does)
    for (const auto& [instalando, abriendo, listo, noAbrio, activo, hace] :
         {std::tuple(false, false, false, false, true, instala),
          {false, false, true, false, true, abre},
          {false, false, false, true, true, abre},
          {true, false, true, true, true, nada},
          {false, true, true, true, true, nada},
          {false, false, false, false, false, nada}}) {
        d.empezados = d.aperturas = 0;
        abiertos.clear();
        std::tie(d.instalando, d.abriendo, d.listo, d.noAbrio) =
            std::tuple(instalando, abriendo, listo, noAbrio);
        d.boton->fijarActivo(activo);
        SCOPED_TRACE(testing::Message() << instalando << abriendo << listo << noAbrio << activo);
        EXPECT_TRUE(pulsar(d.boton));
        pulsar(d.boton, QEvent::MouseButtonRelease);
        pulsar(d.boton, QEvent::MouseButtonPress, Qt::RightButton);
        QAccessible::queryAccessibleInterface(d.boton)->actionInterface()->doAction(
            QAccessibleActionInterface::pressAction());
        EXPECT_EQ(std::pair(d.empezados, d.aperturas),
                  std::pair(2 * (hace == instala), 2 * (hace == abre)));
        pulsar(d.registroBoton);
        EXPECT_EQ(abiertos,
                  QList{QUrl::fromLocalFile(noAbrio ? salidaDelMotor(d.g) : d.g.REGISTRO)});
    }
}

// A flood of texts is told at once, then once a pause, status before detail, latest texts; hidden
// labels are not. The button tells its state and title; the bar, each percent.
TEST_F(Ventana_, LoQueSeAnuncia) {
    static QStringList oidos;
    lectorDePrueba = [](QAccessibleEvent* e) {
        if (e->type() == QAccessible::NameChanged)
            oidos.append(e->accessibleInterface()->text(QAccessible::Name));
        if (e->type() == QAccessible::StateChanged)
            oidos.append(e->accessibleInterface()->state().disabled ? "inactivo" : "activo");
        if (auto* v = dynamic_cast<QAccessibleValueChangeEvent*>(e))
            oidos.append(v->value().toString());
    };
    d.ventana->show();
    d.mostrar(1);
    for (const double valor : {0.004, 0.009, 0.01, 1.5, 2.0})
        d.barra->fijarValor(valor);
    for (int i = 0; i < 100; ++i) {
        d.detalle->fijarTexto(QStringLiteral("d%1").arg(i));
        d.estado->fijarTexto(QStringLiteral("e%1").arg(i));
        d.info->fijarTexto(QStringLiteral("i%1").arg(i));
    }
    pruebas::esperarHasta([] { return oidos.size() > 7; }, 3 * pausaEntreAnuncios);
    lectorDePrueba = nullptr;
    EXPECT_EQ(oidos, (QStringList{"inactivo", "Instalando…", "1", "100", "d0", "e99", "d99"}));
}

// The close guard asks only while the installer really runs; closes or stays open as answered.
TEST_F(Ventana_, GuardaDeCierre) {
    const QString cancelar = QStringLiteral("Cancelar la instalación");
    // (installing, installer running, answer or empty if no question, closes)
    for (const auto& [instalando, corre, respuesta, cierra] :
         {std::tuple(false, true, QString(), true),
          {true, false, QString(), true}, // the process ended before the flag was reset
          {true, true, QStringLiteral("Seguir"), false},
          {true, true, cancelar, true}}) {
        d.ventana->show();
        d.instalando = instalando, d.corre = corre, d.cancelaciones = 0;
        QTimer reloj; // answers the question once it shows
        QObject::connect(&reloj, &QTimer::timeout, [respuesta = respuesta] {
            if (auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                for (QAbstractButton* b : caja->buttons())
                    if (b->text() == respuesta)
                        b->click();
        });
        reloj.start(10);
        EXPECT_EQ(std::pair(d.ventana->close(), d.cancelaciones),
                  std::pair(cierra, int(respuesta == cancelar)));
    }
}

} // namespace

#include "ventana_prueba.moc"
