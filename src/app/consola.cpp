// Maintenance from a terminal: plain lines on standard output, no window and
// no display; 0 when all is well, 1 when something is wrong or failed.
#include "app/consola.h"

#include "app/opciones.h"
#include "base/texto.h"
#include "engine/motor.h"
#include "engine/partes.h"
#include "installer/instalacion.h"
#include "installer/protocolo.h"
#include "maintenance/mantenimiento.h"
#include "maintenance/textos.h"
#include "maintenance/verificador.h"

#include <QDir>
#include <QEventLoop>
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

// The installer's output, line by line, as it comes; the same run the window
// drives, with the same log.
bool instalarConEco(const Globales& g, const QString& reparar) {
    Instalacion run(parametrosDelInstalador(g, reparar));
    QEventLoop bucle;
    bool bien = false;
    QObject::connect(&run, &Instalacion::lineas, [](const Trozo& t) {
        for (qsizetype i = 0; i < t.cuantas(); ++i)
            if (const QString l = sinFormatoBidi(t.linea(i)).trimmed(); !l.isEmpty())
                decir(l);
    });
    QObject::connect(&run, &Instalacion::termino, [&](bool b) { bien = b, bucle.quit(); });
    QObject::connect(&run, &Instalacion::noEmpezo, [&](const QString& motivo) {
        decir(motivo);
        bucle.quit();
    });
    run.arrancar();
    bucle.exec();
    return bien;
}

Informe verificarYContar(const Globales& g) {
    Verificador v(g);
    QEventLoop bucle;
    Informe i;
    QObject::connect(&v, &Verificador::termino, [&](const Informe& informe) {
        i = informe;
        bucle.quit();
    });
    v.arrancar();
    bucle.exec();
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
    decir(QStringLiteral("Reparando…"));
    if (!instalarConEco(g, aReparar(antes))) {
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
    if (partes::presentes(g).isEmpty()) {
        decir(QStringLiteral("No hay ningún motor instalado."));
        return 0;
    }
    const Resultado<qint64> e = eliminarMotorCerrado(g);
    if (!e.bien()) {
        decir(e.motivo());
        return 1;
    }
    decir(QStringLiteral("El motor está en la Papelera: al vaciarla se liberan %1.")
              .arg(tamano(e.valor())));
    return 0;
}

} // namespace

int mantenerEnConsola(const Opciones& o, const Globales& g) {
    using M = Opciones::Mantenimiento;
    if (o.mantenimiento != M::eliminar && estadoDelMotor(g) == EstadoDelMotor::ninguno) {
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
