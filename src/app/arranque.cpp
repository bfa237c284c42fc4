#include "app/arranque.h"
#include "app/consola.h"
#include "app/delegado.h"
#include "app/opciones.h"
#include "base/globales.h"
#include "maintenance/mantenimiento.h"
#include "placement/instancia.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>

namespace {
QStringList argumentosDe(int argc, char** argv) {
    QStringList lista;
    for (int i = 0; i < argc; ++i)
        lista.append(QString::fromLocal8Bit(argv[i]));
    return lista;
}

// Without a screen the packaging runs still work on the offscreen platform; a
// run that needs a window says so in one line instead of a toolkit abort.
void elegirPlataforma() {
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        Delegado::sinPantalla = true;
    }
#endif
}
// The start-up values of this process, once the application object exists.
Globales globalesDelProceso() {
    const QString ejecutable = QCoreApplication::applicationFilePath();
    return calcularGlobales(QDir::homePath(), recursosDe(ejecutable),
                            bundleDe(ejecutable).value_or(QCoreApplication::applicationDirPath()),
                            ejecutable);
}

// Maintenance from a terminal: no display, and never beside another VARNO.
int enConsola(int argc, char** argv, const Opciones& opciones) {
    QCoreApplication aplicacion(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("VARNO"));
    const Globales g = globalesDelProceso();
    Instancia instancia(g.DATOS);
    if (instancia.tomar(std::chrono::milliseconds(0)) != Instancia::Toma::propia) {
        std::fputs("VARNO está abierto: ciérralo antes del mantenimiento.\n", stderr);
        return 1;
    }
    recuperarEliminacion(g);
    return mantenerEnConsola(opciones, g);
}
} // namespace

int arrancar(int argc, char** argv, const std::function<void(Delegado&)>& preparar) {
    // Read once, before the toolkit takes its own options out of argv.
    const Opciones opciones = leerOpciones(argumentosDe(argc, argv));
    if (opciones.malUso) {
        std::fputs("Usa solo una de estas opciones: --mantenimiento, --verificar, --reparar, "
                   "--eliminar-motor.\n",
                   stderr);
        return 2;
    }
    if (opciones.enConsola())
        return enConsola(argc, argv, opciones);
    elegirPlataforma();

    QApplication aplicacion(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VARNO"));

    const Globales g = globalesDelProceso();

    // A second start hands over to the running one; packaging runs only write a
    // file and never wait for anybody.
    Instancia instancia(g.DATOS);
    switch (opciones.empaquetado() ? Instancia::Toma::propia : instancia.tomar()) {
    case Instancia::Toma::propia:
        break;
    case Instancia::Toma::entregada:
        return 0;
    case Instancia::Toma::ocupada:
        std::fputs(qPrintable(QStringLiteral("VARNO no se abre: ya hay otro en marcha que no "
                                             "responde (su cerrojo es %1).\n")
                                  .arg(instancia.cerrojo())),
                   stderr);
        return 1;
    }
    // A removal cut short puts back what it had set aside, before anything
    // looks at what is installed.
    if (!opciones.empaquetado())
        recuperarEliminacion(g);

    Delegado delegado(g);
    QObject::connect(&instancia, &Instancia::ventanaPedida, &delegado,
                     [&delegado](bool* mostrada) { *mostrada = delegado.traerAlFrente(); });
    if (preparar)
        preparar(delegado);
    QTimer::singleShot(0, &delegado,
                       [&delegado, opciones] { delegado.applicationDidFinishLaunching(opciones); });
    return aplicacion.exec();
}
