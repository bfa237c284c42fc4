#include "app/lanzador.h"
#include "comun/comun.h"

namespace {

using E = Efecto;
using F = Fase;
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
    roto.problemas = {{{Parte::Tipo::ffmpeg}, "bin/ffmpeg", "falta"}};
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
        {"instalar", alPulsar(en(F::inicio)), F::instalando, "Preparando…", "", {E::instalar}},
        {"reintentar", alPulsar(en(F::fallo, "x")), F::instalando, "Preparando…", "", {E::instalar}},
        {"actualizar", alEmpezar(en(F::inicio, "", true)), F::instalando, "Actualizando VARNO…", "", {E::instalar}},
        {"reparar", alPulsar(en(F::averiado)), F::instalando, "Preparando…", "", {E::instalar}},
        {"instalar de nuevo", alPulsar(en(F::eliminado)), F::instalando, "Preparando…", "", {E::instalar}},
        {"líneas", conLineas(en(F::instalando, "antes"), trozo), F::instalando,
         "Paso 5 de 7 · Las bibliotecas", "Descargando numpy", {}},
        {"falla", alTerminarInstalacion(en(F::instalando, "descargando"), false), F::fallo,
         "No se pudo terminar la instalación.", "descargando  —  " + reintentar, {}},
        {"no empieza", alNoEmpezar(en(F::instalando, "x"), "sin bash"), F::fallo,
         "", "sin bash  —  " + reintentar, {}},
        {"termina la primera", alTerminarInstalacion(en(F::instalando, "d"), true), F::instalando,
         "", "d", {E::ponerEnElDock}},
        {"en el Dock", enElDock(en(F::instalando), true), F::instalado,
         "VARNO está instalado.", "Se abre ahora. Quedó en el Dock y en Aplicaciones.", {E::abrirEnUnMomento}},
        {"fuera del Dock", enElDock(en(F::instalando), false), F::instalado,
         "VARNO está instalado.", "Se abre ahora.", {E::abrirEnUnMomento}},
        {"termina una actualización", alTerminarInstalacion(en(F::instalando, "", true), true), F::instalado,
         "VARNO está actualizado.", "Se abre ahora.", {E::abrirEnUnMomento}},
        {"termina una reparación", alTerminarInstalacion(en(F::instalando, "", false, true), true), F::verificando,
         "Verificando el motor…", "Contando los archivos…", {E::verificar}},
        {"la pausa", trasLaPausa(en(F::instalado)), F::abriendo,
         "Abriendo VARNO…", "La primera vez puede tardar uno o dos minutos.", {E::abrirMotor}},
        {"la pausa, ya abierto", trasLaPausa(en(F::noAbrio, "y")), F::noAbrio, "", "y", {}},
        {"abrir otra vez", alPulsar(en(F::noAbrio)), F::abriendo, "", "", {E::abrirMotor}},
        {"abrir sano", alPulsar(en(F::sano)), F::abriendo, "", "", {E::abrirMotor}},
        {"abriendo no pulsa", alPulsar(en(F::abriendo, "z")), F::abriendo, "", "z", {}},
        {"verificando no pulsa", alPulsar(en(F::verificando, "z")), F::verificando, "", "z", {}},
        {"abrió", alAbrirElMotor(en(F::abriendo)), F::abierto,
         "VARNO está abierto.", "La ventana de VARNO aparece en unos segundos.", {E::salirEnUnMomento}},
        {"no abrió", alNoAbrirElMotor(en(F::abriendo), "cv2"), F::noAbrio, "VARNO no pudo abrirse.", "cv2", {}},
        {"nada que mantener", alMantener(en(F::inicio), false), F::inicio, "", "", {}},
        {"mantener", alMantener(en(F::inicio), true), F::mantenimiento,
         "El motor de VARNO está instalado.", "Mirando qué hay instalado…", {E::describir}},
        {"descrito", descrito(en(F::mantenimiento), {"1.0", "3.12.7", "", 2, 0}), F::mantenimiento,
         "El motor de VARNO 1.0 está instalado.", "Python 3.12.7 · 2 bibliotecas · 0 MB en disco", {}},
        {"descrito tarde", descrito(en(F::verificando, "w"), {"1.0", "", "", 0, 0}), F::verificando, "", "w", {}},
        {"verificar", alPulsar(en(F::mantenimiento)), F::verificando, "", "", {E::verificar}},
        {"verificar tras no eliminar", alPulsar(en(F::noEliminado)), F::verificando, "", "", {E::verificar}},
        {"avance", conAvance(en(F::verificando), {1, 4, 0, 0}), F::verificando,
         "", "1 de 4 archivos · 0 MB de 0 MB", {}},
        {"avance tarde", conAvance(en(F::sano, "v"), {1, 4, 0, 0}), F::sano, "", "v", {}},
        {"sano", verificado(en(F::verificando), sano), F::sano, "El motor está sano.", "", {}},
        {"reparado", verificado(en(F::verificando, "", false, true), sano), F::sano,
         "El motor quedó reparado.", "", {}},
        {"sigue roto", verificado(en(F::verificando, "", false, true), roto), F::averiado,
         "El motor tiene un problema.", "ffmpeg: bin/ffmpeg: falta.", {}},
        {"no se eliminó", eliminado(en(F::mantenimiento), Resultado<qint64>::fallo("abierto")), F::noEliminado,
         "No se pudo eliminar el motor.", "abierto", {}},
        {"eliminado", eliminado(en(F::mantenimiento), 2'100'000'000LL), F::eliminado,
         "El motor está en la Papelera.",
         "Al vaciarla se liberan 2,1 GB. La próxima vez, VARNO lo instalará de nuevo.", {}},
        {"ver el registro", alPulsarSecundario(en(F::fallo)), F::fallo, "", "", {E::verRegistro}},
        {"ver la salida del motor", alPulsarSecundario(en(F::noAbrio)), F::noAbrio, "", "", {E::verSalidaDelMotor}},
        {"eliminar", alPulsarSecundario(en(F::noEliminado)), F::noEliminado, "", "", {E::preguntarSiEliminar}},
        {"ver el informe", alPulsarSecundario(en(F::averiado)), F::averiado, "", "", {E::verInforme}},
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
    // Where the bar ends, and what a repair remembers until its verification.
    EXPECT_EQ(alTerminarInstalacion(en(F::instalando), true).estado.barra, 1.0);
    EXPECT_EQ(conEspera(en(F::abierto), 0.3).estado.barra, 0.0);
    EXPECT_TRUE(alPulsar(en(F::averiado)).estado.reparando);
    EXPECT_FALSE(verificado(en(F::verificando, "", false, true), roto).estado.reparando);
}

// What each state shows: the buttons, the status colour, and which lines and the bar show.
TEST(Lanzador, LoQueMuestraCadaPantalla) {
    Estado aviso = en(F::inicio, "oculto");
    aviso.aviso = "No se pudo copiar VARNO a Aplicaciones (x).";
    // (state, main button, acts, second button, colour, status and detail, bar, detail shown)
    for (const auto& [e, boton, activo, secundario, color, abajo, barra, detalle] :
         {std::tuple(en(F::inicio), "Instalar", true, "", C::papel, false, false, false),
          {aviso, "Instalar", true, "", C::papel, false, false, true},
          {en(F::instalando), "Instalando…", false, "", C::papel, true, true, true},
          {en(F::instalando, "", true), "Actualizando…", false, "", C::papel, true, true, true},
          {en(F::instalando, "", true, true), "Reparando…", false, "", C::papel, true, true, true},
          {en(F::instalado), "Abrir VARNO", true, "", C::bien, true, true, true},
          {en(F::fallo), "Reintentar", true, "Ver el registro", C::mal, true, true, true},
          {en(F::abriendo), "Abriendo…", false, "", C::papel, true, true, true},
          {en(F::noAbrio), "Reintentar", true, "Ver el registro", C::mal, true, true, true},
          {en(F::abierto), "Abriendo…", false, "", C::bien, true, true, true},
          {en(F::mantenimiento), "Verificar", true, "Eliminar el motor", C::papel, true, false,
           true},
          {en(F::noEliminado), "Verificar", true, "Eliminar el motor", C::mal, true, false, true},
          {en(F::verificando), "Verificando…", false, "", C::papel, true, true, true},
          {en(F::sano), "Abrir VARNO", true, "", C::bien, true, true, true},
          {en(F::averiado), "Reparar", true, "Ver el informe", C::mal, true, true, true},
          {en(F::eliminado), "Instalar", true, "", C::papel, true, false, true}}) {
        const Pantalla p = pantalla(e);
        SCOPED_TRACE(p.boton.toStdString());
        EXPECT_EQ(
            std::tuple(p.boton, p.activo, p.secundario, p.color, p.abajo, p.barra, p.detalle),
            std::tuple(QString(boton), activo, QString(secundario), color, abajo, barra, detalle));
        EXPECT_EQ(p.textoDetalle, e.aviso.isEmpty() ? e.detalle : e.aviso);
    }
}

} // namespace
