#!/usr/bin/env python3
"""Reads the real window the way a screen reader does, through AT-SPI: starts a
virtual X screen, a session bus and the accessibility bus, then VARNO with a
fresh home folder and a stand-in installer that moves on when told, and
presses "Instalar" through the button's action.
Usage: lector_real.py VARNO. Exits 77 without Xvfb, dbus-daemon, the bus
launcher or pyatspi."""
import importlib.util, os, re, shutil, signal, subprocess, sys, tempfile

sys.path.insert(0, os.path.dirname(__file__))
from ventana_real import comprobar, esperar, fallos

LANZADOR = "/usr/libexec/at-spi-bus-launcher"
# Moves to its next step when the test makes the file of the step, for 60 s at most.
INSTALADOR = """#!/bin/bash
paso() { for _ in $(seq 600); do [ -e "$VARNO_SENAL/$1" ] && return; sleep 0.1; done; exit 2; }
echo '== 1/7 Preparando'
paso 1
echo '== 5/7 Las bibliotecas'
echo 'Downloading torch'
paso 2
echo 'No se pudo descargar ffmpeg.'
exit 1
"""


def arrancar(*orden, **opciones):  # in a group of its own, so that it goes with all it started
    return subprocess.Popen(orden, start_new_session=True, **opciones)


def parar(proceso):
    try:
        os.killpg(proceso.pid, signal.SIGTERM)
        proceso.wait(10)
    except subprocess.TimeoutExpired:
        os.killpg(proceso.pid, signal.SIGKILL)
    except ProcessLookupError:  # it had already ended, with all it started
        pass


def leer_linea(orden, **opciones):  # starts orden(fd), which writes one line on fd
    lectura, escritura = os.pipe()
    proceso = arrancar(*orden(str(escritura)), pass_fds=(escritura,), stderr=subprocess.DEVNULL, **opciones)
    os.close(escritura)
    linea = b""
    while not linea.endswith(b"\n") and (trozo := os.read(lectura, 256)):
        linea += trozo
    os.close(lectura)
    return proceso, linea.decode().strip()


def probar(casa):
    import pyatspi

    def app():
        for i in range(pyatspi.Registry.getDesktop(0).childCount):
            a = pyatspi.Registry.getDesktop(0).getChildAtIndex(i)
            if a and any(v and (v.getRoleName(), v.name) == ("frame", "Instalar VARNO") for v in a):
                return a

    def vistas():  # (role, name, object) of every view the reader finds
        todo, pendientes = [], [aplicacion]
        while pendientes:
            o = pendientes.pop()
            todo.append((o.getRoleName(), o.name, o))
            pendientes.extend(o)
        return todo

    def una(rol, nombre=None):
        return next((o for r, n, o in vistas() if r == rol and nombre in (None, n)), None)

    senal = os.path.join(casa, "senal")
    os.mkdir(senal)
    aplicacion = esperar(app)
    if not aplicacion:
        return comprobar(False, "ninguna ventana \"Instalar VARNO\" para el lector")
    hay = {(r, n) for r, n, _ in vistas()}
    for que in (("push button", "Instalar"), ("label", "VARNO"), ("image", "VARNO")):
        if que not in hay:
            return comprobar(False, "primera pantalla sin %s %r" % que)
    comprobar(any(n.startswith("La primera vez instala") for _, n, _ in vistas()), "sin la información")
    comprobar(not una("progress bar") and not una("push button", "Ver el registro"),
              "una vista oculta a la vista del lector")
    una("push button", "Instalar").queryAction().doAction(0)

    estado = lambda: next((n for _, n, _ in vistas() if n.startswith("Paso ")), "")
    valor = lambda: (b := una("progress bar")) and b.queryValue().currentValue
    comprobar(esperar(lambda: estado() == "Paso 1 de 7 · Preparando"), "sin el paso 1: %r" % estado())
    antes = valor() or 0
    boton = una("push button", "Instalando…")
    comprobar(boton and not boton.getState().contains(pyatspi.STATE_ENABLED), "el botón se ofrece durante la instalación")
    open(os.path.join(senal, "1"), "w").close()
    comprobar(esperar(lambda: estado() == "Paso 5 de 7 · Las bibliotecas"), "sin el paso 5: %r" % estado())
    comprobar(esperar(lambda: (valor() or 0) > antes), "la barra no crece: %r → %r" % (antes, valor()))
    open(os.path.join(senal, "2"), "w").close()
    comprobar(esperar(lambda: una("push button", "Reintentar") and una("push button", "Ver el registro")),
              "el fallo sin \"Reintentar\" y \"Ver el registro\"")


def main():
    faltan = [p for p in ("Xvfb", "dbus-daemon", LANZADOR) if not shutil.which(p)]
    if not importlib.util.find_spec("pyatspi"):
        faltan.append("pyatspi")
    if faltan:
        print("SALTADA: falta " + ", ".join(faltan))
        return 77
    with tempfile.TemporaryDirectory(prefix="varno-lector-", ignore_cleanup_errors=True) as casa:
        procesos = []
        try:
            xvfb, pantalla = leer_linea(lambda fd: ["Xvfb", "-displayfd", fd, "-nolisten", "tcp"])
            procesos.append(xvfb)
            entorno = {k: v for k, v in os.environ.items()
                       if not k.startswith(("QT_", "XDG_", "WAYLAND", "DBUS_", "AT_SPI"))}
            entorno.update(DISPLAY=":" + pantalla, HOME=casa, XDG_RUNTIME_DIR=casa)
            bus, direccion = leer_linea(lambda fd: ["dbus-daemon", "--session", "--nofork", "--print-address=" + fd],
                                        env=entorno)
            procesos.append(bus)
            entorno["DBUS_SESSION_BUS_ADDRESS"] = direccion
            procesos.append(arrancar(LANZADOR, "--launch-immediately", "--a11y=1", env=entorno,
                                     stderr=subprocess.DEVNULL))
            os.environ.update(entorno)  # for pyatspi, imported only now
            # The bundle with the stand-in installer in place of the real one.
            bundle = os.path.join(casa, "VARNO.app")
            shutil.copytree(re.sub(r"/Contents/MacOS/[^/]*$", "", sys.argv[1]), bundle, symlinks=True)
            with open(os.path.join(bundle, "Contents/Resources/paquete/instalar_mac.sh"), "w") as f:
                f.write(INSTALADOR)
            entorno.update(QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                           VARNO_SENAL=os.path.join(casa, "senal"))
            programa = arrancar(os.path.join(bundle, "Contents/MacOS/VARNO"), "--no-mover", env=entorno,
                                stdout=subprocess.DEVNULL)
            procesos.append(programa)
            probar(casa)
            comprobar(programa.poll() is None, "VARNO terminó solo")
        finally:
            for p in reversed(procesos):
                parar(p)
    return 1 if fallos else 0

if __name__ == "__main__":
    sys.exit(main())
