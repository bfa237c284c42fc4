#include "artwork/arte.h"

#include "artwork/png.h"
#include "base/archivos.h"

#include "ui/vistas.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>
#include <cmath>
#include <limits>

namespace {

// Larger images are refused rather than left to an allocation that may only
// fail once the drawing touches the memory.
constexpr double bytesMaximos = std::numeric_limits<int>::max();
constexpr int bytesPorPixel = 4;

bool cabe(double ancho, double alto) {
    return ancho >= 1 && alto >= 1 && ancho * alto * bytesPorPixel <= bytesMaximos;
}

const QString sinImagen = QStringLiteral("no hay memoria para la imagen");

// The PNG is made in memory first, so a picture that cannot be made leaves
// any earlier file as it was.
Resultado<> escribirPNG(const QImage& imagen, const QString& ruta) {
    const QByteArray bytes = codificarPNG(imagen);
    if (bytes.isEmpty())
        return Resultado<>::fallo(QStringLiteral("no se pudo codificar el PNG"));
    return escribirEntero(ruta, bytes);
}

// The icon, in pixels from the bottom-left corner.
constexpr int ladoIcono = 1024;
constexpr QRgb colorCara = qRgb(18, 18, 22);
constexpr QRectF cara(100, 100, 824, 824);
constexpr qreal radioCara = 185;
constexpr qreal grosorBorde = 4;
constexpr qreal opacidadBorde = 0.08;
constexpr QPointF esquinaMarca(212, 212);
constexpr qreal ladoMarca = 600;

// The background, in canvas units from the bottom-left corner.
constexpr qreal anchoLienzo = 600;
constexpr qreal altoLienzo = 400;
constexpr QRgb colorFondo = qRgb(244, 244, 246);
constexpr QRgb colorFlecha = qRgb(160, 160, 168);
constexpr qreal grosorFlecha = 3;
constexpr QPointF astil[] = {{245, 210}, {355, 210}};
constexpr QPointF punta[] = {{340, 224}, {356, 210}, {340, 196}};

struct Texto {
    const char* texto;
    qreal tamano;
    Peso peso;
    QRgb color;
    QRectF caja; // bottom-left corner, width, height
};
constexpr Texto textos[] = {
    {"Arrastra VARNO a Aplicaciones", 21, Peso::semibold, qRgb(22, 22, 26), {0, 332, 600, 30}},
    {"Después ábrela: la primera vez instala lo que necesita.",
     13,
     Peso::regular,
     qRgb(107, 107, 115),
     {0, 34, 600, 20}},
};

void dibujarTexto(QPainter& p, const Texto& t) {
    // Glyphs drawn with y growing upwards would stand on their heads, so the
    // text gets a top-down space of its own and is laid out from the box's top.
    p.save();
    p.translate(0, altoLienzo);
    p.scale(1, -1);
    const QRectF caja(t.caja.x(), altoLienzo - t.caja.y() - t.caja.height(), t.caja.width(),
                      t.caja.height());
    p.setFont(fuente(t.tamano, t.peso, p.device()));
    p.setPen(QColor(t.color));
    p.drawText(caja, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
               QString::fromUtf8(t.texto));
    p.restore();
}

void dibujarFondo(QPainter& p, double escala) {
    p.scale(escala, escala);
    p.fillRect(QRectF(0, 0, anchoLienzo, altoLienzo), QColor(colorFondo));
    for (const Texto& t : textos)
        dibujarTexto(p, t);
    QPainterPath flecha;
    flecha.moveTo(astil[0]);
    flecha.lineTo(astil[1]);
    flecha.moveTo(punta[0]);
    flecha.lineTo(punta[1]);
    flecha.lineTo(punta[2]);
    p.setPen(QPen(QColor(colorFlecha), grosorFlecha, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(flecha);
}

} // namespace

Resultado<> guardarPNG(const QString& ruta, int ancho, int alto,
                       const std::function<void(QPainter&)>& dibujar) {
    if (!cabe(ancho, alto))
        return Resultado<>::fallo(
            QStringLiteral("una imagen de %1 × %2 píxeles no se puede hacer").arg(ancho).arg(alto));
    QImage imagen(ancho, alto, QImage::Format_ARGB32_Premultiplied);
    if (imagen.isNull())
        return Resultado<>::fallo(sinImagen);
    imagen.fill(Qt::transparent);
    {
        QPainter p(&imagen);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.translate(0, alto);
        p.scale(1, -1);
        dibujar(p);
    }
    return escribirPNG(imagen, ruta);
}

Resultado<> guardarIcono(const QString& ruta) {
    return guardarPNG(ruta, ladoIcono, ladoIcono, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(colorCara));
        p.drawRoundedRect(cara, radioCara, radioCara);
        // The rim is stroked on its centre line, 2 inside the edge, so it
        // covers the face's outer 4 pixels.
        const qreal medio = grosorBorde / 2;
        p.setPen(QPen(QColor::fromRgbF(1, 1, 1, opacidadBorde), grosorBorde));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(cara.adjusted(medio, medio, -medio, -medio), radioCara - medio,
                          radioCara - medio);
        dibujarLogo(p, esquinaMarca, ladoMarca);
    });
}

std::optional<QSize> tamanoFondo(double escala) {
    // NaN fails every comparison, so it is refused here too.
    if (!(escala > 0) || !std::isfinite(escala))
        return std::nullopt;
    const double ancho = std::trunc(anchoLienzo * escala);
    const double alto = std::trunc(altoLienzo * escala);
    if (!cabe(ancho, alto))
        return std::nullopt;
    return QSize(static_cast<int>(ancho), static_cast<int>(alto));
}

Resultado<> guardarFondoDmg(const QString& ruta, double escala) {
    const std::optional<QSize> tamano = tamanoFondo(escala);
    if (!tamano)
        return Resultado<>::fallo(
            QStringLiteral("la escala %1 no da una imagen que se pueda hacer").arg(escala));
    return guardarPNG(ruta, tamano->width(), tamano->height(),
                      [escala](QPainter& p) { dibujarFondo(p, escala); });
}

Resultado<> captura(QWidget* contenido, const QString& ruta) {
    if (!contenido)
        return Resultado<>::fallo(QStringLiteral("no hay ventana que capturar"));
    // grab() lays out and polishes a window that was never shown, and renders
    // at the screen's pixel ratio.
    const QPixmap imagen = contenido->grab();
    if (imagen.isNull())
        return Resultado<>::fallo(sinImagen);
    return escribirPNG(imagen.toImage().convertToFormat(QImage::Format_ARGB32), ruta);
}
