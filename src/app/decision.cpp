#include "app/decision.h"

#include "app/opciones.h"

namespace {
// A packaging run ends well only with its picture written: a build that draws
// its artwork with it must fail when a picture is missing.
void terminarEmpaquetado(Acciones& a, const QString& ruta, const Resultado<>& escrito) {
    if (!escrito.bien())
        a.avisar(QStringLiteral("VARNO no pudo escribir %1: %2.").arg(ruta, escrito.motivo()));
    a.salir(escrito.bien() ? 0 : 1);
}

void trasLaSonda(bool responde, Acciones& a) {
    if (responde) {
        a.lanzarMotor();
        a.terminar();
        return;
    }
    if (a.mostrarVentana(QStringLiteral("VARNO")))
        a.abrirYEsperar();
}

void trasLaMudanza(bool movido, const Opciones& o, Acciones& a) {
    if (movido) {
        a.terminar();
        return;
    }

    if (o.expulsar)
        a.programarExpulsion(*o.expulsar);

    if (a.estaInstalado()) {
        a.sondearMotor([&a](bool responde) { trasLaSonda(responde, a); });
        return;
    }

    const bool actualizando = a.hayInstalacionAnterior();
    a.fijarActualizando(actualizando);
    if (!a.mostrarVentana(actualizando ? QStringLiteral("Actualizar VARNO") : QString()))
        return;
    if (actualizando)
        a.empezar();
}
} // namespace

void decidirArranque(const Opciones& o, Acciones& a) {
    // Packaging runs win over everything else: no move, no eject, no install.
    if (o.icono) {
        terminarEmpaquetado(a, *o.icono, a.escribirIcono(*o.icono));
        return;
    }
    if (o.fondoDmg) {
        terminarEmpaquetado(a, o.fondoDmg->ruta,
                            a.escribirFondoDmg(o.fondoDmg->ruta, o.fondoDmg->escala));
        return;
    }
    if (o.captura) {
        terminarEmpaquetado(a, o.captura->ruta,
                            a.escribirCaptura(o.captura->ruta, o.captura->pantalla));
        return;
    }

    // Maintenance never moves, ejects or starts anything by itself.
    if (o.mantenimiento == Opciones::Mantenimiento::pantalla || a.opcionPulsada()) {
        if (a.mostrarVentana(QStringLiteral("Mantenimiento de VARNO")))
            a.mantener();
        return;
    }

    a.moverAAplicaciones([o, &a](bool movido) { trasLaMudanza(movido, o, a); });
}
