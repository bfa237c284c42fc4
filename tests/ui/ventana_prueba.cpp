#include "app/delegado.h"
#include "comun/comun.h"
#include "engine/motor.h"
#include "ui/accesibilidad.h"
#include "ui/marca.h"
#include "ui/ventana.h"
#include "ui/vistas.h"

namespace {

using pruebas::responder;
using pruebas::tecla;

void clic(QWidget* w, Qt::MouseButton boton = Qt::LeftButton) {
    for (const auto tipo : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(tipo, QPointF(20, 20), w->mapToGlobal(QPointF(20, 20)), boton,
                      tipo == QEvent::MouseButtonPress ? boton : Qt::NoButton, {});
        QCoreApplication::sendEvent(w, &e);
    }
}

// Values beyond the ends are held there: Qt's model would ignore them and keep the last.
TEST(Barra, Acotada) {
    for (const auto& [valor, leido] :
         {std::pair(0.0, 0.0), {0.002, 0.002}, {0.5, 0.5}, {1.7, 1.0}, {-3.0, 0.0}, {NAN, 0.0}}) {
        Barra b;
        b.fijarValor(0.3), b.fijarValor(valor);
        EXPECT_EQ(std::pair(b.valor(), b.value()), std::pair(leido, qRound(leido * Barra::escala)))
            << valor;
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
    }
}

// The delegate with its installer and engine calls recorded instead of run.
struct DelegadoDePrueba : Delegado {
    using Delegado::Delegado;
    int empezados = 0, aperturas = 0, cancelaciones = 0;
    bool corre = false;

    void hacer(Efecto e) override {
        e == Efecto::instalar     ? void(++empezados)
        : e == Efecto::abrirMotor ? void(++aperturas)
                                  : Delegado::hacer(e);
    }
    bool instaladorCorre() const override { return corre; }
    void cancelarInstalacion() override { ++cancelaciones; }
};

using Fase = Delegado::Fase;

// The window of a delegate whose files open into `abiertos`, its views found by name.
struct Ventana_ : QObject, ::testing::Test {
    Q_OBJECT
public:
    pruebas::Casa casa;
    Globales g = casa.globales();
    DelegadoDePrueba d{g};
    QList<QUrl> abiertos;
    Etiqueta *info, *estado, *detalle;
    Boton *boton, *registro;
    Ventana_() {
        d.construir(), QDesktopServices::setUrlHandler("file", this, "abrir");
        const auto e = [this](const char* n) { return pruebas::vista<Etiqueta>(d.ventana(), n); };
        info = e("info"), estado = e("estado"), detalle = e("detalle");
        boton = pruebas::vista<Boton>(d.ventana(), "boton");
        registro = pruebas::vista<Boton>(d.ventana(), "registroBoton");
    }
    ~Ventana_() override { QDesktopServices::unsetUrlHandler("file"); }
public slots:
    void abrir(const QUrl& url) { abiertos.append(url); }
};

// The main button acts alike clicked, by Space once Tab reached it (drawing its ring), or by
// Return wherever the focus is; never by a right click, nor while it is off (a reader presses it in
// ventana_real.py). The log button opens the engine's output after a failed opening, else the log.
TEST_F(Ventana_, LosDosBotones) {
    d.ventana()->show(), d.ventana()->activateWindow();
    ASSERT_TRUE(pruebas::esperarHasta([&] { return d.ventana()->isActiveWindow(); }));
    pruebas::escribir(salidaDelMotor(g), "ImportError: falta cv2\n");
    const std::function<void()> maneras[] = {
        [&] { clic(boton); },
        [&] { clic(boton, Qt::RightButton); },
        [&] { // Return goes to the main button from the log button too
            if (registro->isVisible())
                registro->setFocus(Qt::TabFocusReason);
            tecla(boton, Qt::Key_Return);
        },
        [&] {
            boton->clearFocus(), registro->clearFocus();
            const QImage sinFoco = boton->grab().toImage();
            tecla(boton, Qt::Key_Tab);
            // Reached by the keyboard it draws a ring; clicked, it drew none.
            EXPECT_EQ(boton->hasFocus(), boton->isEnabled());
            EXPECT_EQ(boton->grab().toImage() != sinFoco, boton->isEnabled());
            tecla(boton, Qt::Key_Space);
        },
    };
    for (const auto& [f, empieza, abre] :
         {std::tuple(Fase::fallo, 1, 0), {Fase::noAbrio, 0, 1}, {Fase::abriendo, 0, 0}}) {
        SCOPED_TRACE(int(f));
        for (int i = 0; i < int(std::size(maneras)); ++i) {
            d.mostrar(f);
            d.empezados = d.aperturas = 0;
            maneras[i]();
            EXPECT_EQ(std::pair(d.empezados, d.aperturas),
                      i == 1 ? std::pair(0, 0) : std::pair(empieza, abre))
                << i;
        }
        d.mostrar(f);
        abiertos.clear();
        if (registro->isVisible())
            clic(registro);
        EXPECT_EQ(abiertos, registro->isVisible()
                                ? QList{QUrl::fromLocalFile(f == Fase::noAbrio ? salidaDelMotor(g)
                                                                               : g.REGISTRO)}
                                : QList<QUrl>{});
    }
}

// Maintenance: with nothing installed, the first installation; a runtime that fails its check
// offers its report; removing asks first, Escape and Return keep it.
TEST_F(Ventana_, Mantenimiento) {
    d.ventana()->show(), d.mantener();
    EXPECT_EQ(d.fase(), Fase::inicio);
    pruebas::escribir(g.PYTHON, "#!/bin/sh\necho 3.11.2\n", true);
    pruebas::escribir(g.DATOS + "/instalado.txt", g.VERSION.toUtf8());
    d.mantener();
    ASSERT_TRUE(pruebas::esperarHasta([&] { return detalle->texto().contains("en disco"); }));
    clic(boton);
    ASSERT_TRUE(pruebas::esperarHasta([&] { return d.fase() == Fase::averiado; }));
    clic(registro);
    const QString informe = g.DATOS + "/informe-mantenimiento.txt";
    ASSERT_EQ(abiertos, QList{QUrl::fromLocalFile(informe)});
    EXPECT_TRUE(pruebas::leer(informe).contains(detalle->texto().toUtf8() + '\n'));
    for (const QVariant& respuesta : {QVariant(int(Qt::Key_Escape)), QVariant(int(Qt::Key_Return)),
                                      QVariant(QStringLiteral("Eliminar el motor"))}) {
        QTimer reloj;
        d.mantener(), responder(reloj, respuesta), clic(registro);
        const bool quitado = respuesta.typeId() != QMetaType::Int;
        pruebas::esperarHasta([&] { return d.fase() == Fase::eliminado; },
                              std::chrono::seconds(quitado ? 10 : 0));
        EXPECT_EQ(std::pair(d.fase() == Fase::eliminado, QFileInfo::exists(g.PYTHON)),
                  std::pair(quitado, !quitado));
    }
}

// A copy to Applications that fails is told in one line, and under the first screen's text in the
// window, which opens in the middle of the screen.
TEST_F(Ventana_, MudanzaFallida) {
    if (QFileInfo::exists("/Applications"))
        GTEST_SKIP() << "/Applications no se toca";
    ::testing::internal::CaptureStderr();
    std::optional<bool> movido;
    d.moverAAplicaciones([&](bool m) { movido = m; });
    ASSERT_TRUE(pruebas::esperarHasta([&] { return movido.has_value(); }));
    EXPECT_FALSE(*movido); // its bundle is not there to copy
    const QString dicho = QString::fromStdString(::testing::internal::GetCapturedStderr());
    d.mostrarVentana("Instalar VARNO");
    detalle = pruebas::vista<Etiqueta>(d.ventana(), "detalle");
    EXPECT_TRUE(dicho.startsWith("No se pudo copiar VARNO a Aplicaciones ("));
    EXPECT_EQ(std::pair(detalle->isVisible(), detalle->texto() + "\n"), std::pair(true, dicho));
    EXPECT_EQ(d.ventana()->geometry().center(),
              QGuiApplication::primaryScreen()->availableGeometry().center());
}

// A flood is told at once, then after a pause status before detail, latest texts; hidden ones not.
TEST_F(Ventana_, LoQueSeAnuncia) {
    static QStringList oidos;
    lectorDePrueba = [](QAccessibleEvent* e) {
        if (e->type() == QAccessible::NameChanged)
            oidos.append(e->accessibleInterface()->text(QAccessible::Name));
    };
    d.ventana()->show(), d.mostrar(Fase::instalando);
    for (int i = 0; i < 100; ++i) {
        detalle->fijarTexto(QStringLiteral("d%1").arg(i));
        estado->fijarTexto(QStringLiteral("e%1").arg(i));
        info->fijarTexto(QStringLiteral("i%1").arg(i));
    }
    pruebas::esperarHasta([] { return oidos.size() > 2; }, 3 * pausaEntreAnuncios);
    lectorDePrueba = nullptr;
    EXPECT_EQ(oidos, (QStringList{"d0", "e99", "d99"}));
}

// The close guard asks only while the installer really runs; closes or stays open as answered,
// by a click or by the keyboard as in every Mac dialog (Return, Escape).
TEST_F(Ventana_, GuardaDeCierre) {
    const QString cancelar = QStringLiteral("Cancelar la instalación");
    // (phase, installer running, answer (a button's title or a key) or nothing, closes)
    for (const auto& [f, corre, respuesta, cierra] :
         {std::tuple(Fase::fallo, true, QVariant(), true),
          {Fase::instalando, false, QVariant(), true}, // the process ended before the phase moved
          {Fase::instalando, true, QVariant(QStringLiteral("Seguir")), false},
          {Fase::instalando, true, QVariant(cancelar), true},
          {Fase::instalando, true, QVariant(int(Qt::Key_Escape)), false},
          {Fase::instalando, true, QVariant(int(Qt::Key_Return)), true}}) {
        SCOPED_TRACE(respuesta.toString().toStdString());
        d.ventana()->show();
        d.mostrar(f);
        d.corre = corre, d.cancelaciones = 0;
        QTimer reloj;
        responder(reloj, respuesta);
        EXPECT_EQ(std::pair(d.ventana()->close(), d.cancelaciones),
                  std::pair(cierra, int(cierra && corre && f == Fase::instalando)));
    }
}

} // namespace

#include "ventana_prueba.moc"
