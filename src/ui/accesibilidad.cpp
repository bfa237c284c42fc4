#include "ui/accesibilidad.h"

#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cmath>

void (*lectorDePrueba)(QAccessibleEvent*) = nullptr;

namespace {

// The bar's value in percent, clamped as the bar draws it.
double porcentaje(double valor) {
    return valor > 0 ? std::min(valor, 1.0) * 100.0 : 0.0;
}

bool hayLector() {
    return lectorDePrueba || QAccessible::isActive();
}

void enviar(QAccessibleEvent&& e) {
    if (lectorDePrueba)
        lectorDePrueba(&e);
    else
        QAccessible::updateAccessibility(&e);
}

void enviar(QObject* o, QAccessible::Event tipo) {
    enviar(QAccessibleEvent(o, tipo));
}

// QAccessibleWidget is its own action interface.
class BotonAccesible : public QAccessibleWidget {
public:
    explicit BotonAccesible(Boton* b)
        : QAccessibleWidget(b, QAccessible::Button) {}
    Boton* boton() const { return static_cast<Boton*>(widget()); }

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? boton()->titulo() : QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.disabled = s.disabled || !boton()->activo();
        return s;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    // Pressed from assistive technology just as by the mouse: only a button
    // that shows, while active and with something to do.
    void doAction(const QString& nombre) override {
        Boton* b = boton();
        if (nombre == pressAction() && b->isVisible() && b->activo() && b->accion)
            b->accion();
    }
};

class BarraAccesible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit BarraAccesible(Barra* b)
        : QAccessibleWidget(b, QAccessible::ProgressBar) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QVariant currentValue() const override {
        return porcentaje(static_cast<Barra*>(widget())->valor());
    }
    void setCurrentValue(const QVariant&) override {} // only the installation moves it
    QVariant maximumValue() const override { return 100.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 0.0; }
};

// Labels, the logo and the content view, by what they are.
class VistaAccesible : public QAccessibleWidget {
public:
    VistaAccesible(QWidget* w, QAccessible::Role rol, QString nombre = {})
        : QAccessibleWidget(w, rol)
        , nombre_(std::move(nombre)) {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        if (auto* e = qobject_cast<Etiqueta*>(widget()))
            return e->texto(); // whole, not cut to the width
        return nombre_;
    }

private:
    QString nombre_;
};

// Tells clients that keep the tree to read a content view's children again
// when one of them shows or hides.
class Vigia : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if ((e->type() == QEvent::ShowToParent || e->type() == QEvent::HideToParent) && hayLector())
            enviar(o->parent(), QAccessible::ObjectReorder);
        return false;
    }
};

// The content view reports only the views that show.
class PlanoAccesible : public QAccessibleWidget {
public:
    explicit PlanoAccesible(Plano* p)
        : QAccessibleWidget(p, QAccessible::Client) {
        static QPointer<Vigia> vigia;
        if (!vigia)
            vigia = new Vigia(QCoreApplication::instance());
        for (QObject* o : p->children())
            o->installEventFilter(vigia);
    }

    int childCount() const override { return int(visibles().size()); }
    QAccessibleInterface* child(int i) const override {
        const auto v = visibles();
        return i >= 0 && i < v.size() ? QAccessible::queryAccessibleInterface(v[i]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* hijo) const override {
        return hijo ? int(visibles().indexOf(hijo->object())) : -1;
    }

private:
    QObjectList visibles() const {
        QObjectList v;
        for (QObject* o : widget()->children())
            if (auto* w = qobject_cast<QWidget*>(o); w && !w->isHidden())
                v.append(w);
        return v;
    }
};

QAccessibleInterface* fabrica(const QString&, QObject* o) {
    if (auto* b = qobject_cast<Boton*>(o))
        return new BotonAccesible(b);
    if (auto* b = qobject_cast<Barra*>(o))
        return new BarraAccesible(b);
    if (auto* e = qobject_cast<Etiqueta*>(o))
        return new VistaAccesible(e, QAccessible::StaticText);
    if (auto* l = qobject_cast<Logo*>(o))
        return new VistaAccesible(l, QAccessible::Graphic, QStringLiteral("VARNO"));
    if (auto* p = qobject_cast<Plano*>(o))
        return new PlanoAccesible(p);
    if (auto* v = qobject_cast<Ventana*>(o)) // named by its title
        return new QAccessibleWidget(v, QAccessible::Window);
    return nullptr;
}

// Gathers the labels whose text changed and announces them together, then
// waits before the next announcement.
class Anunciador : public QObject {
public:
    explicit Anunciador(QObject* parent)
        : QObject(parent) {
        reloj_.setSingleShot(true);
        reloj_.setInterval(pausaEntreAnuncios);
        QObject::connect(&reloj_, &QTimer::timeout, this, [this] { anunciar(); });
    }

    void cambio(Etiqueta* e) {
        if (!pendientes_.contains(e))
            pendientes_.append(e);
        if (!reloj_.isActive())
            anunciar();
    }

private:
    void anunciar() {
        if (pendientes_.isEmpty())
            return;
        // In the order the views were laid out: siblings by their place, as the
        // window reads from top to bottom.
        const auto lugar = [](const QPointer<Etiqueta>& e) {
            return e && e->parent() ? e->parent()->children().indexOf(e.data()) : -1;
        };
        std::stable_sort(pendientes_.begin(), pendientes_.end(),
                         [&](const auto& a, const auto& b) { return lugar(a) < lugar(b); });
        for (const QPointer<Etiqueta>& e : std::exchange(pendientes_, {})) {
            if (e && e->isVisible())
                enviar(e, QAccessible::NameChanged);
        }
        reloj_.start();
    }

    QTimer reloj_;
    QList<QPointer<Etiqueta>> pendientes_;
};

} // namespace

void instalarAccesibilidad() {
    static const bool hecho = (QAccessible::installFactory(fabrica), true);
    Q_UNUSED(hecho);
}

void anunciarTexto(Etiqueta* e) {
    if (!hayLector())
        return;
    static QPointer<Anunciador> anunciador;
    if (!anunciador)
        anunciador = new Anunciador(QCoreApplication::instance());
    anunciador->cambio(e);
}

void avisarValor(Barra* b, double antes) {
    if (!hayLector() || std::floor(porcentaje(antes)) == std::floor(porcentaje(b->valor())))
        return;
    enviar(QAccessibleValueChangeEvent(b, porcentaje(b->valor())));
}

void avisarTitulo(Boton* b) {
    if (hayLector())
        enviar(b, QAccessible::NameChanged);
}

void avisarActivo(Boton* b) {
    if (!hayLector())
        return;
    QAccessible::State cambiado;
    cambiado.disabled = true;
    enviar(QAccessibleStateChangeEvent(b, cambiado));
}
