#include "app/lanzador.h"

#include "engine/espera.h"
#include "maintenance/textos.h"

namespace {

Transicion en(Estado e, Fase f, QString estado, QString detalle, QList<Efecto> efectos = {}) {
    e.fase = f;
    e.estado = std::move(estado);
    e.detalle = std::move(detalle);
    return {std::move(e), std::move(efectos)};
}

} // namespace

Transicion alPulsar(const Estado& e) {
    switch (e.fase) {
    case Fase::inicio:
    case Fase::fallo:
    case Fase::eliminado:
        return alEmpezar(e);
    case Fase::instalado:
    case Fase::noAbrio:
    case Fase::sano:
        return alAbrir(e);
    case Fase::mantenimiento:
    case Fase::noEliminado:
        return alVerificar(e);
    case Fase::averiado: {
        Estado s = e;
        s.reparando = true;
        return alEmpezar(s);
    }
    case Fase::instalando:
    case Fase::abriendo:
    case Fase::abierto:
    case Fase::verificando:
        break;
    }
    return {e, {}};
}

Transicion alPulsarSecundario(const Estado& e) {
    switch (e.fase) {
    case Fase::noAbrio:
        return {e, {Efecto::verSalidaDelMotor}};
    case Fase::mantenimiento:
    case Fase::noEliminado:
        return {e, {Efecto::preguntarSiEliminar}};
    case Fase::averiado:
        return {e, {Efecto::verInforme}};
    default:
        return {e, {Efecto::verRegistro}};
    }
}

Transicion alEmpezar(const Estado& e) {
    Estado s = e;
    s.progreso = {};
    s.barra = 0.0;
    return en(std::move(s), Fase::instalando,
              e.actualizando ? QStringLiteral("Actualizando VARNO…")
                             : QStringLiteral("Preparando…"),
              QString(), {Efecto::instalar});
}

Transicion conLineas(const Estado& e, const Trozo& t) {
    // Nothing is painted between two lines of one chunk, so the labels take
    // only the chunk's last header and last detail, and the bar its end.
    Estado s = e;
    Progreso p = e.progreso;
    bool alguna = false;
    for (qsizetype i = 0; i < t.cuantas(); ++i) {
        const LecturaLinea l = leerLinea(t.linea(i), p);
        if (l.tipo == LecturaLinea::blanca)
            continue;
        alguna = true;
        p = l.progreso;
        if (l.tipo == LecturaLinea::cabecera)
            s.estado = textoDeCabecera(l.paso, l.titulo);
        else
            s.detalle = textoDeDetalle(l.texto);
    }
    if (alguna)
        s.progreso = p, s.barra = p.avance;
    return {std::move(s), {}};
}

Transicion alTerminarInstalacion(const Estado& e, bool bien) {
    if (!bien)
        return en(e, Fase::fallo, QStringLiteral("No se pudo terminar la instalación."),
                  detalleDeFallo(e.detalle));
    // A repair ends when a new verification finds the runtime sound.
    if (e.reparando)
        return alVerificar(e);
    Estado s = e;
    s.barra = 1.0;
    if (!e.actualizando) // the Dock's answer decides what is said
        return {std::move(s), {Efecto::ponerEnElDock}};
    return en(std::move(s), Fase::instalado, QStringLiteral("VARNO está actualizado."),
              QStringLiteral("Se abre ahora."), {Efecto::abrirEnUnMomento});
}

Transicion alNoEmpezar(const Estado& e, const QString& motivo) {
    Estado s = e;
    s.detalle = motivo;
    return alTerminarInstalacion(s, false);
}

Transicion enElDock(const Estado& e, bool puesto) {
    // Said only when it is true.
    return en(e, Fase::instalado, QStringLiteral("VARNO está instalado."),
              puesto ? QStringLiteral("Se abre ahora. Quedó en el Dock y en Aplicaciones.")
                     : QStringLiteral("Se abre ahora."),
              {Efecto::abrirEnUnMomento});
}

Transicion alAbrir(const Estado& e) {
    Estado s = e;
    s.barra = curvaEspera(0);
    return en(std::move(s), Fase::abriendo, QStringLiteral("Abriendo VARNO…"),
              QStringLiteral("La primera vez puede tardar uno o dos minutos."),
              {Efecto::abrirMotor});
}

Transicion trasLaPausa(const Estado& e) {
    // A click on «Abrir VARNO» in the meantime has already opened it.
    return e.fase == Fase::instalado ? alAbrir(e) : Transicion{e, {}};
}

Transicion conEspera(const Estado& e, double valor) {
    Estado s = e;
    if (s.fase == Fase::abriendo)
        s.barra = valor;
    return {std::move(s), {}};
}

Transicion alAbrirElMotor(const Estado& e) {
    Estado s = e;
    s.barra = 1.0;
    return en(std::move(s), Fase::abierto, QStringLiteral("VARNO está abierto."),
              QStringLiteral("La ventana de VARNO aparece en unos segundos."),
              {Efecto::salirEnUnMomento});
}

Transicion alNoAbrirElMotor(const Estado& e, const QString& motivo) {
    return en(e, Fase::noAbrio, QStringLiteral("VARNO no pudo abrirse."), motivo);
}

Transicion alMantener(const Estado& e, bool hayMotor) {
    // Nothing to maintain: the first installation instead.
    if (!hayMotor) {
        Estado s = e;
        s.fase = Fase::inicio;
        return {std::move(s), {}};
    }
    return en(e, Fase::mantenimiento, QStringLiteral("El motor de VARNO está instalado."),
              QStringLiteral("Mirando qué hay instalado…"), {Efecto::describir});
}

Transicion descrito(const Estado& e, const Instalado& i) {
    Estado s = e;
    s.instalado = i;
    if (s.fase == Fase::mantenimiento) {
        if (!i.version.isEmpty())
            s.estado = QStringLiteral("El motor de VARNO %1 está instalado.").arg(i.version);
        s.detalle = descripcion(i);
    }
    return {std::move(s), {}};
}

Transicion alVerificar(const Estado& e) {
    Estado s = e;
    s.barra = 0.0;
    return en(std::move(s), Fase::verificando, QStringLiteral("Verificando el motor…"),
              QStringLiteral("Contando los archivos…"), {Efecto::verificar});
}

Transicion conAvance(const Estado& e, const AvanceVerificacion& a) {
    Estado s = e;
    if (s.fase == Fase::verificando)
        s.barra = fraccion(a), s.detalle = textoDeAvance(a);
    return {std::move(s), {}};
}

Transicion verificado(const Estado& e, const Informe& i) {
    Estado s = e;
    s.informe = i;
    s.barra = 1.0;
    s.reparando = false;
    return en(std::move(s), i.sano() ? Fase::sano : Fase::averiado,
              e.reparando && i.sano() ? QStringLiteral("El motor quedó reparado.")
                                      : estadoDelInforme(i),
              detalleDelInforme(i));
}

Transicion eliminado(const Estado& e, const Resultado<qint64>& r) {
    if (!r.bien())
        return en(e, Fase::noEliminado, QStringLiteral("No se pudo eliminar el motor."),
                  r.motivo());
    return en(e, Fase::eliminado, QStringLiteral("El motor está en la Papelera."),
              QStringLiteral("Al vaciarla se liberan %1. La próxima vez, VARNO lo instalará de "
                             "nuevo.")
                  .arg(tamano(r.valor())));
}

bool cierrePregunta(const Estado& e, bool instaladorCorre) {
    return e.fase == Fase::instalando && instaladorCorre;
}

Pantalla pantalla(const Estado& e) {
    using C = Pantalla::Color;
    struct Aspecto {
        const char* boton;
        bool activo;
        const char* secundario;
        C color;
        bool abajo;
    };
    static constexpr Aspecto aspectos[] = {
        {"Instalar", true, "", C::papel, false},                  // inicio
        {"Instalando…", false, "", C::papel, true},               // instalando
        {"Abrir VARNO", true, "", C::bien, true},                 // instalado
        {"Reintentar", true, "Ver el registro", C::mal, true},    // fallo
        {"Abriendo…", false, "", C::papel, true},                 // abriendo
        {"Reintentar", true, "Ver el registro", C::mal, true},    // noAbrio
        {"Abriendo…", false, "", C::bien, true},                  // abierto
        {"Verificar", true, "Eliminar el motor", C::papel, true}, // mantenimiento
        {"Verificar", true, "Eliminar el motor", C::mal, true},   // noEliminado
        {"Verificando…", false, "", C::papel, true},              // verificando
        {"Abrir VARNO", true, "", C::bien, true},                 // sano
        {"Reparar", true, "Ver el informe", C::mal, true},        // averiado
        {"Instalar", true, "", C::papel, true},                   // eliminado
    };
    static_assert(std::size(aspectos) == std::size_t(Fase::eliminado) + 1);
    const Aspecto& a = aspectos[int(e.fase)];
    QString boton = QString::fromUtf8(a.boton);
    if (e.fase == Fase::instalando && e.reparando)
        boton = QStringLiteral("Reparando…");
    else if (e.fase == Fase::instalando && e.actualizando)
        boton = QStringLiteral("Actualizando…");
    // Nothing moves on the screens that only tell or ask.
    const bool quieta =
        e.fase == Fase::mantenimiento || e.fase == Fase::noEliminado || e.fase == Fase::eliminado;
    // The first screen has no detail line, but a failed move is told where it would stand.
    const bool aviso = !a.abajo && !e.aviso.isEmpty();
    return {boton,
            a.activo,
            QString::fromUtf8(a.secundario),
            a.color,
            a.abajo,
            a.abajo && !quieta,
            a.abajo || aviso,
            e.estado,
            aviso ? e.aviso : e.detalle,
            e.barra};
}

QList<Captura> capturas() {
    const auto con = [](Fase f, const char* estado, const char* detalle, double barra) {
        Estado e;
        e.fase = f, e.estado = QString::fromUtf8(estado), e.detalle = QString::fromUtf8(detalle);
        e.barra = barra;
        return e;
    };
    return {
        {"inicio", Estado{}},
        {"instalando", con(Fase::instalando, "Paso 5 de 7 · Las bibliotecas",
                           "Downloading torch (60.5MiB)", 0.5)},
        {"instalado",
         con(Fase::instalado, "VARNO está instalado.",
             "Se abre ahora. Las próximas veces, desde Aplicaciones o Launchpad.", 1.0)},
        {"fallo", con(Fase::fallo, "No se pudo terminar la instalación.",
                      "No se pudo descargar ffmpeg. Puedes reintentar: lo ya descargado no se "
                      "vuelve a descargar.",
                      0.1)},
        {"abriendo", con(Fase::abriendo, "Abriendo VARNO…",
                         "La primera vez puede tardar uno o dos minutos.", 0.4)},
        {"noAbrio", con(Fase::noAbrio, "VARNO no pudo abrirse.",
                        "ModuleNotFoundError: No module named 'cv2'", 0.6)},
    };
}
