// Maintenance from a terminal: plain lines on standard output, no window and
// no display; 0 when all is well, 1 when something is wrong or failed.
#include "app/consola.h"

#include "app/opciones.h"
#include "base/texto.h"
#include "engine/motor.h"
#include "installer/instalacion.h"
#include "installer/protocolo.h"
#include "maintenance/mantenimiento.h"
#include "maintenance/textos.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <cstdio>

namespace {

// One line as plain text, whatever it carries from outside (names from a
// library's files, the installer's output): a control character, which could
// start an escape sequence or a line of its own, shows as U+FFFD, a tab as a
// space, and bidirectional formatting goes.
void decir(const QString& linea) {
    QString texto = sinFormatoBidi(linea);
    for (QChar& c : texto)
        if (c == u'\t')
            c = u' ';
        else if (c.category() == QChar::Other_Control || esSaltoDeLinea(c.unicode()))
            c = QChar::ReplacementCharacter;
    std::fputs(qPrintable(texto + u'\n'), stdout);
    std::fflush(stdout);
}

// Something to verify or repair: the interpreter or the marker.
bool hayMotor(const Globales& g) {
    return QFileInfo(g.PYTHON).exists() ||
           QFileInfo::exists(g.DATOS + QStringLiteral("/instalado.txt"));
}

// The installer's output, line by line, as it comes.
class Eco : public QObject, public OyenteInstalacion {
public:
    QEventLoop bucle;
    bool bien = false;

    void lineas(const Trozo& t) override {
        for (qsizetype i = 0; i < t.cuantas(); ++i)
            if (const QString l = sinFormatoBidi(t.linea(i)).trimmed(); !l.isEmpty())
                decir(l);
    }
    void termino(bool b) override {
        bien = b;
        bucle.quit();
    }
    void noEmpezo(const QString& motivo) override {
        decir(motivo);
        bucle.quit();
    }
};

Informe verificarYContar(const Globales& g) {
    const std::atomic<bool> nunca{false};
    const Informe i = verificar(g, nunca);
    decir(estadoDelInforme(i));
    if (i.sano())
        decir(detalleDelInforme(i));
    for (const Problema& p : i.problemas)
        decir(p.linea());
    return i;
}

int reparar(const Globales& g) {
    const Informe antes = verificarYContar(g);
    if (antes.sano())
        return 0;
    // With nothing to reinstall (a marker that names another version), the
    // installer's own run, which skips what is done, puts it right.
    const QString que = aReparar(antes);
    decir(QStringLiteral("Reparando…"));
    QDir().mkpath(g.DATOS);
    Instalacion::Parametros p = parametrosDelInstalador(g, que);
    Eco eco;
    QThread lectura;
    lectura.setObjectName(QStringLiteral("varno.lectura"));
    auto* corrida = new Instalacion(std::move(p), &eco, &eco);
    corrida->moveToThread(&lectura);
    lectura.start();
    QMetaObject::invokeMethod(corrida, &Instalacion::arrancar, Qt::QueuedConnection);
    eco.bucle.exec();
    corrida->soltar();
    QMetaObject::invokeMethod(
        corrida, [corrida] { delete corrida; }, Qt::BlockingQueuedConnection);
    lectura.quit();
    lectura.wait();
    if (!eco.bien) {
        decir(QStringLiteral("La reparación no terminó; el motivo está en %1.").arg(g.REGISTRO));
        return 1;
    }
    const Informe despues = verificarYContar(g);
    if (despues.sano())
        decir(QStringLiteral("El motor quedó reparado."));
    return despues.sano() ? 0 : 1;
}

int eliminar(const Globales& g) {
    // Leftovers of a run cut short are removed too.
    if (partesDelMotor(g).isEmpty()) {
        decir(QStringLiteral("No hay ningún motor instalado."));
        return 0;
    }
    // The engine's own files must not go while it runs from them.
    const Eliminacion e =
        responde(g) ? Eliminacion{false, 0,
                                  QStringLiteral("VARNO está abierto: ciérralo antes de eliminar "
                                                 "el motor.")}
                    : eliminarMotor(g);
    if (!e.bien) {
        decir(e.fallo);
        return 1;
    }
    decir(QStringLiteral("El motor está en la Papelera: al vaciarla se liberan %1.")
              .arg(tamano(e.bytes)));
    return 0;
}

} // namespace

int mantenerEnConsola(const Opciones& o, const Globales& g) {
    using M = Opciones::Mantenimiento;
    if (o.mantenimiento != M::eliminar && !hayMotor(g)) {
        decir(QStringLiteral("El motor de VARNO no está instalado."));
        return 1;
    }
    switch (o.mantenimiento) {
    case M::verificar:
        return verificarYContar(g).sano() ? 0 : 1;
    case M::reparar:
        return reparar(g);
    case M::eliminar:
        return eliminar(g);
    case M::no:
    case M::pantalla:
        break;
    }
    return 2;
}
