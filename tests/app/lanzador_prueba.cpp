#include "app/lanzador.h"
#include "comun/comun.h"

namespace {

using E = Efecto;
using C = Pantalla::Color;

Estado en(Fase f, QString detalle = {}, bool actualizando = false, bool reparando = false) {
    Estado e;
    e.fase = f, e.detalle = std::move(detalle), e.actualizando = actualizando;
    e.reparando = reparando;
    return e;
}

// Each event from a state: the phase, the lines and what is done next. Events that do not belong
// to a phase leave it as it was.
TEST(Lanzador, CadaEventoDesdeCadaEstado) {
    Informe sano, roto;
    roto.problemas = {{"ffmpeg", "bin/ffmpeg", "falta"}};
    const QString reintentar = "Puedes reintentar: lo ya descargado no se vuelve a descargar.";
    const Trozo trozo = Encuadre().trocear("== 5/7 Las bibliotecas\n\nDescargando numpy\n");
    const struct {
        const char* nombre;
        Transicion t;
        Fase fase;
        QString estado, detalle; // empty: as it was
        QList<Efecto> efectos;
    } casos[] = {
        // clang-format off
        {"instalar", alPulsar(en(Fase::inicio)), Fase::instalando,
         "Preparando…", "", {E::instalar}},
        {"reintentar", alPulsar(en(Fase::fallo, "x")), Fase::instalando,
         "Preparando…", "", {E::instalar}},
        {"actualizar", alEmpezar(en(Fase::inicio, "", true)), Fase::instalando,
         "Actualizando VARNO…", "", {E::instalar}},
        {"reparar", alPulsar(en(Fase::averiado)), Fase::instalando,
         "Preparando…", "", {E::instalar}},
        {"instalar de nuevo", alPulsar(en(Fase::eliminado)), Fase::instalando,
         "Preparando…", "", {E::instalar}},
        {"líneas", conLineas(en(Fase::instalando, "antes"), trozo), Fase::instalando,
         "Paso 5 de 7 · Las bibliotecas", "Descargando numpy", {}},
        {"falla", alTerminarInstalacion(en(Fase::instalando, "descargando"), false), Fase::fallo,
         "No se pudo terminar la instalación.", "descargando  —  " + reintentar, {}},
        {"no empieza", alNoEmpezar(en(Fase::instalando, "x"), "sin bash"), Fase::fallo,
         "", "sin bash  —  " + reintentar, {}},
        {"termina la primera", alTerminarInstalacion(en(Fase::instalando, "d"), true), Fase::instalando,
         "", "d", {E::ponerEnElDock}},
        {"en el Dock", enElDock(en(Fase::instalando), true), Fase::instalado,
         "VARNO está instalado.", "Se abre ahora. Quedó en el Dock y en Aplicaciones.", {E::abrirEnUnMomento}},
        {"fuera del Dock", enElDock(en(Fase::instalando), false), Fase::instalado,
         "VARNO está instalado.", "Se abre ahora.", {E::abrirEnUnMomento}},
        {"termina una actualización", alTerminarInstalacion(en(Fase::instalando, "", true), true), Fase::instalado,
         "VARNO está actualizado.", "Se abre ahora.", {E::abrirEnUnMomento}},
        {"termina una reparación", alTerminarInstalacion(en(Fase::instalando, "", false, true), true), Fase::verificando,
         "Verificando el motor…", "Contando los archivos…", {E::verificar}},
        {"la pausa", trasLaPausa(en(Fase::instalado)), Fase::abriendo,
         "Abriendo VARNO…", "La primera vez puede tardar uno o dos minutos.", {E::abrirMotor}},
        {"la pausa, ya abierto", trasLaPausa(en(Fase::noAbrio, "y")), Fase::noAbrio,
         "", "y", {}},
        {"abrir otra vez", alPulsar(en(Fase::noAbrio)), Fase::abriendo,
         "", "", {E::abrirMotor}},
        {"abrir sano", alPulsar(en(Fase::sano)), Fase::abriendo,
         "", "", {E::abrirMotor}},
        {"abriendo no pulsa", alPulsar(en(Fase::abriendo, "z")), Fase::abriendo,
         "", "z", {}},
        {"verificando no pulsa", alPulsar(en(Fase::verificando, "z")), Fase::verificando,
         "", "z", {}},
        {"abrió", alAbrirElMotor(en(Fase::abriendo)), Fase::abierto,
         "VARNO está abierto.", "La ventana de VARNO aparece en unos segundos.", {E::salirEnUnMomento}},
        {"no abrió", alNoAbrirElMotor(en(Fase::abriendo), "cv2"), Fase::noAbrio,
         "VARNO no pudo abrirse.", "cv2", {}},
        {"nada que mantener", alMantener(en(Fase::inicio), false), Fase::inicio,
         "", "", {}},
        {"mantener", alMantener(en(Fase::inicio), true), Fase::mantenimiento,
         "El motor de VARNO está instalado.", "Mirando qué hay instalado…", {E::describir}},
        {"descrito", descrito(en(Fase::mantenimiento), {"1.0", "3.12.7", "", 2, 0}), Fase::mantenimiento,
         "El motor de VARNO 1.0 está instalado.", "Python 3.12.7 · 2 bibliotecas · 0 MB en disco", {}},
        {"descrito tarde", descrito(en(Fase::verificando, "w"), {"1.0", "", "", 0, 0}), Fase::verificando,
         "", "w", {}},
        {"verificar", alPulsar(en(Fase::mantenimiento)), Fase::verificando,
         "", "", {E::verificar}},
        {"verificar tras no eliminar", alPulsar(en(Fase::noEliminado)), Fase::verificando,
         "", "", {E::verificar}},
        {"avance", conAvance(en(Fase::verificando), {1, 4, 0, 0}), Fase::verificando,
         "", "1 de 4 archivos · 0 MB de 0 MB", {}},
        {"avance tarde", conAvance(en(Fase::sano, "v"), {1, 4, 0, 0}), Fase::sano,
         "", "v", {}},
        {"sano", verificado(en(Fase::verificando), sano), Fase::sano,
         "El motor está sano.", "", {}},
        {"reparado", verificado(en(Fase::verificando, "", false, true), sano), Fase::sano,
         "El motor quedó reparado.", "", {}},
        {"sigue roto", verificado(en(Fase::verificando, "", false, true), roto), Fase::averiado,
         "El motor tiene un problema.", "ffmpeg: bin/ffmpeg: falta.", {}},
        {"no se eliminó", eliminado(en(Fase::mantenimiento), {false, 0, "abierto"}), Fase::noEliminado,
         "No se pudo eliminar el motor.", "abierto", {}},
        {"eliminado", eliminado(en(Fase::mantenimiento), {true, 2'100'000'000, ""}), Fase::eliminado,
         "El motor está en la Papelera.",
         "Al vaciarla se liberan 2,1 GB. La próxima vez, VARNO lo instalará de nuevo.", {}},
        {"ver el registro", alPulsarSecundario(en(Fase::fallo)), Fase::fallo,
         "", "", {E::verRegistro}},
        {"ver la salida del motor", alPulsarSecundario(en(Fase::noAbrio)), Fase::noAbrio,
         "", "", {E::verSalidaDelMotor}},
        {"eliminar", alPulsarSecundario(en(Fase::noEliminado)), Fase::noEliminado,
         "", "", {E::preguntarSiEliminar}},
        {"ver el informe", alPulsarSecundario(en(Fase::averiado)), Fase::averiado,
         "", "", {E::verInforme}},
        // clang-format on
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        EXPECT_EQ(c.t.estado.fase, c.fase);
        if (!c.estado.isEmpty()) {
            EXPECT_EQ(c.t.estado.estado, c.estado);
        }
        if (!c.detalle.isEmpty() || c.efectos.contains(E::instalar)) {
            EXPECT_EQ(c.t.estado.detalle, c.detalle);
        }
        EXPECT_EQ(c.t.efectos, c.efectos);
    }
    // What moves the bar, and what a repair remembers until its verification.
    const Estado leido = conLineas(en(Fase::instalando), trozo).estado;
    EXPECT_EQ(std::pair(leido.barra > 0, leido.barra), std::pair(true, leido.progreso.avance));
    EXPECT_EQ(alTerminarInstalacion(en(Fase::instalando), true).estado.barra, 1.0);
    EXPECT_EQ(conEspera(en(Fase::abierto), 0.3).estado.barra, 0.0);
    EXPECT_TRUE(alPulsar(en(Fase::averiado)).estado.reparando);
    EXPECT_FALSE(verificado(en(Fase::verificando, "", false, true), roto).estado.reparando);
}

// What each state shows: the buttons, the status colour, and which lines and the bar show.
TEST(Lanzador, LoQueMuestraCadaPantalla) {
    Estado aviso = en(Fase::inicio, "oculto");
    aviso.aviso = "No se pudo copiar VARNO a Aplicaciones (x).";
    // (state, main button, acts, second button, colour, status and detail, bar, detail shown)
    for (const auto& [e, boton, activo, secundario, color, abajo, barra, detalle] :
         {std::tuple(en(Fase::inicio), "Instalar", true, "", C::papel, false, false, false),
          {aviso, "Instalar", true, "", C::papel, false, false, true},
          {en(Fase::instalando), "Instalando…", false, "", C::papel, true, true, true},
          {en(Fase::instalando, "", true), "Actualizando…", false, "", C::papel, true, true, true},
          {en(Fase::instalando, "", true, true), "Reparando…", false, "", C::papel, true, true,
           true},
          {en(Fase::instalado), "Abrir VARNO", true, "", C::bien, true, true, true},
          {en(Fase::fallo), "Reintentar", true, "Ver el registro", C::mal, true, true, true},
          {en(Fase::abriendo), "Abriendo…", false, "", C::papel, true, true, true},
          {en(Fase::noAbrio), "Reintentar", true, "Ver el registro", C::mal, true, true, true},
          {en(Fase::abierto), "Abriendo…", false, "", C::bien, true, true, true},
          {en(Fase::mantenimiento), "Verificar", true, "Eliminar el motor", C::papel, true, false,
           true},
          {en(Fase::noEliminado), "Verificar", true, "Eliminar el motor", C::mal, true, false,
           true},
          {en(Fase::verificando), "Verificando…", false, "", C::papel, true, true, true},
          {en(Fase::sano), "Abrir VARNO", true, "", C::bien, true, true, true},
          {en(Fase::averiado), "Reparar", true, "Ver el informe", C::mal, true, true, true},
          {en(Fase::eliminado), "Instalar", true, "", C::papel, true, false, true}}) {
        const Pantalla p = pantalla(e);
        SCOPED_TRACE(p.boton.toStdString());
        EXPECT_EQ(
            std::tuple(p.boton, p.activo, p.secundario, p.color, p.abajo, p.barra, p.detalle),
            std::tuple(QString(boton), activo, QString(secundario), color, abajo, barra, detalle));
        EXPECT_EQ(p.textoDetalle, e.aviso.isEmpty() ? e.detalle : e.aviso);
    }
    // The captures keep their numbers whatever the phases' order.
    QStringList nombres;
    for (const Captura& c : capturas())
        nombres << c.nombre;
    EXPECT_EQ(nombres.join(' '), "inicio instalando instalado fallo abriendo noAbrio");
}

} // namespace
