#include "ui/accesibilidad.h"

#include "ui/ventana.h"
#include "ui/vistas.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <algorithm>

void (*lectorDePrueba)(QAccessibleEvent*) = nullptr;

namespace {

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
