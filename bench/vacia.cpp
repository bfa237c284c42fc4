// The floor every figure is compared with: an empty Qt application that quits
// as soon as its event loop runs (--salir), or once its empty window of the
// launcher's size has painted (--ventana).
#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace {
class Vacia : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override { QTimer::singleShot(0, qApp, &QCoreApplication::quit); }
};
} // namespace

int main(int argc, char** argv) {
    QApplication aplicacion(argc, argv);
    if (QCoreApplication::arguments().contains(QStringLiteral("--ventana"))) {
        auto* v = new Vacia;
        v->resize(560, 372);
        v->show();
    } else {
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    const int r = aplicacion.exec();
    return r;
}
