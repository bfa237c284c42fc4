#include "app/decision.h"

#include "app/opciones.h"

void decidirArranque(const QStringList& argumentos, Acciones& a) {
    const Opciones o = leerOpciones(argumentos);

    // Packaging runs win over everything else: no move, no eject, no install.
    if (o.icono) {
        a.escribirIcono(*o.icono);
        a.salir(0);
        return;
    }
    if (o.fondoDmg) {
        a.escribirFondoDmg(o.fondoDmg->ruta, o.fondoDmg->escala);
        a.salir(0);
        return;
    }
    if (o.captura) {
        a.escribirCaptura(o.captura->ruta, o.captura->pantalla);
        a.salir(0);
        return;
    }

    if (a.moverAAplicaciones()) {
        a.terminar();
        return;
    }

    if (o.expulsar)
        a.programarExpulsion(*o.expulsar);

    if (a.estaInstalado()) {
        if (a.motorResponde()) {
            a.lanzarMotor();
            a.terminar();
            return;
        }
        if (a.mostrarVentana(QStringLiteral("VARNO")))
            a.abrirYEsperar();
        return;
    }

    const bool actualizando = a.hayInstalacionAnterior();
    a.fijarActualizando(actualizando);
    if (!a.mostrarVentana(actualizando ? QStringLiteral("Actualizar VARNO") : QString()))
        return;
    if (actualizando)
        a.empezar();
}
