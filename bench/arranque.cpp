// The program's own start, ended as soon as its window has painted once: timed
// as a whole process, it is the start to the first painted window.
#include "app/arranque.h"
#include "app/delegado.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {
class PrimerPintado : public QObject {
protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        // The whole frame is painted in one pass, so quitting once the pass
        // is over comes right after the first paint of any of its widgets.
        if (e->type() == QEvent::Paint && o->isWidgetType() && !hecho_) {
            hecho_ = true;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }

private:
    bool hecho_ = false;
};
} // namespace

int main(int argc, char** argv) {
    PrimerPintado filtro;
    return arrancar(argc, argv, [&filtro](Delegado&) { qApp->installEventFilter(&filtro); });
}
