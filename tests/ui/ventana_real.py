#!/usr/bin/env python3
"""Starts VARNO on a virtual X screen with a session bus, the accessibility bus, a fresh home
folder and a stand-in installer that moves on when told. Checks the real window's size, place,
colours and the main button's hover, then reads it as a screen reader does, through AT-SPI, and
presses "Instalar" through the button's action. Usage: ventana_real.py VARNO, with Debian's
Python (pyatspi). Exits 77 without Xvfb, xdotool, ImageMagick, dbus-daemon, the bus launcher or
pyatspi."""
import importlib.util, os, re, shutil, signal, subprocess, sys, tempfile, time

LANZADOR = "/usr/libexec/at-spi-bus-launcher"
FONDO, PAPEL, AZUL, BLANCO = (11, 11, 13), (228, 228, 231), (42, 91, 215), (255, 255, 255)
# Moves to its next step when the test makes the file of the step, for 60 s at most.
INSTALADOR = """#!/bin/bash
paso() { for _ in $(seq 600); do [ -e "$VARNO_SENAL/$1" ] && return; sleep 0.1; done; exit 2; }
echo '== 1/7 Preparando'
paso 1
echo '== 5/7 Las bibliotecas'
paso 2
echo 'No se pudo descargar ffmpeg.'
exit 1
"""
fallos = []


def comprobar(cierto, que):
    if not cierto:
        fallos.append(que)
        print("FALLO:", que)
    return cierto


def esperar(condicion, segundos=20):
    limite = time.monotonic() + segundos
    while not (valor := condicion()) and time.monotonic() < limite:
        time.sleep(0.1)
    return valor


def arrancar(*orden, **opciones):  # in a group of its own, so that it goes with all it started
    return subprocess.Popen(orden, start_new_session=True, **opciones)


def leer_linea(orden, **opciones):  # starts orden(fd), which writes one line on fd
    lectura, escritura = os.pipe()
    proceso = arrancar(*orden(str(escritura)), pass_fds=(escritura,), stderr=subprocess.DEVNULL, **opciones)
    os.close(escritura)
    linea = b""  # up to the line break: closing the pipe before it makes Xvfb quit
    while not linea.endswith(b"\n") and (trozo := os.read(lectura, 256)):
        linea += trozo
    os.close(lectura)
    return proceso, linea.decode().strip()


def ver(entorno):  # the window as drawn on screen 0, and the button's hover
    xdotool = lambda *a: subprocess.run(["xdotool", *a], env=entorno, capture_output=True, text=True).stdout
    ident = esperar(lambda: xdotool("search", "--onlyvisible", "--name", "^Instalar VARNO$").split())
    if not comprobar(ident, "ninguna ventana \"Instalar VARNO\" a la vista"):
        return
    g = dict(l.split("=", 1) for l in xdotool("getwindowgeometry", "--shell", ident[0]).split())
    wx, wy = int(g["X"]), int(g["Y"])
    comprobar((wx, wy, g["WIDTH"], g["HEIGHT"]) == (232, 198, "560", "372"), "tamaño o sitio: %s" % g)

    def captura():  # the window's pixel at px, py
        crudo = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=entorno,
                               check=True, capture_output=True).stdout
        return lambda px, py: tuple(crudo[(i := ((wy + py) * 1024 + wx + px) * 3):i + 3])

    boton = lambda color: esperar(lambda: captura()(45, 300) == color)
    boton(PAPEL)  # painted once the main button shows
    en = captura()
    # Background around the main button and where the hidden log button would
    # be; the button's corners; the logo's bars.
    for px, py, color in ((2, 2, FONDO), (557, 369, FONDO), (545, 200, FONDO), (37, 317, FONDO),
                          (193, 317, FONDO), (115, 292, FONDO), (115, 342, FONDO), (279, 317, FONDO),
                          (279, 296, FONDO), (45, 300, PAPEL), (185, 300, PAPEL), (45, 334, PAPEL),
                          (185, 334, PAPEL), (52, 59, AZUL), (64, 59, (252, 184, 19)), (80, 59, AZUL)):
        comprobar(en(px, py) == color, "en %d,%d: %s, no %s" % (px, py, en(px, py), color))
    # The title, the name, the two lines and the information in their colours; no progress.
    for (x0, y0, w, h), color, minimo in (((70, 306, 90, 22), (10, 10, 12), 30), ((98, 32, 300, 52), BLANCO, 50),
                                          ((40, 108, 480, 24), PAPEL, 50), ((40, 132, 480, 24), (255, 155, 47), 50),
                                          ((40, 178, 480, 54), (156, 157, 163), 50), ((40, 186, 480, 84), (35, 35, 43), -1)):
        n = sum(all(abs(a - b) <= (24 if minimo > 0 else 0) for a, b in zip(en(px, py), color))
                for py in range(y0, y0 + h) for px in range(x0, x0 + w))
        comprobar(n > minimo if minimo > 0 else n == 0, "%d de %s en %s" % (n, color, (x0, y0, w, h)))
    xdotool("mousemove", str(wx + 100), str(wy + 310))
    comprobar(boton(BLANCO), "el botón no se enciende bajo el puntero")
    xdotool("mousemove", str(wx + 500), str(wy + 20))
    comprobar(boton(PAPEL), "el botón no se apaga al salir el puntero")


def leer(senal):  # the window through AT-SPI, pressed as a screen reader presses it
    import pyatspi

    def vistas():  # (role, name, object) of every view of VARNO the reader finds
        todo, pendientes = [], [a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "VARNO"]
        while pendientes:
            o = pendientes.pop()
            todo.append((o.getRoleName(), o.name, o))
            pendientes.extend(o)
        return todo

    una = lambda rol, nombre=None: next((o for r, n, o in vistas() if r == rol and nombre in (None, n)), None)
    hay = esperar(lambda: {(r, n) for r, n, _ in vistas()} >= {("push button", "Instalar"), ("frame", "Instalar VARNO")})
    if not comprobar(hay, "sin el botón \"Instalar\" para el lector"):
        return
    comprobar({("label", "VARNO"), ("image", "VARNO")} <= {(r, n) for r, n, _ in vistas()}, "sin el nombre o el logo")
    comprobar(any(n.startswith("La primera vez instala") for _, n, _ in vistas()), "sin la información")
    comprobar(not una("progress bar") and not una("push button", "Ver el registro"), "una vista oculta a la vista")
    una("push button", "Instalar").queryAction().doAction(0)
    estado = lambda: next((n for _, n, _ in vistas() if n.startswith("Paso ")), "")
    valor = lambda: (b := una("progress bar")) and b.queryValue().currentValue or 0
    comprobar(esperar(lambda: estado() == "Paso 1 de 7 · Preparando"), "sin el paso 1: %r" % estado())
    antes, boton = valor(), una("push button", "Instalando…")
    comprobar(boton and not boton.getState().contains(pyatspi.STATE_ENABLED), "el botón se ofrece instalando")
    open(os.path.join(senal, "1"), "w").close()
    comprobar(esperar(lambda: estado() == "Paso 5 de 7 · Las bibliotecas"), "sin el paso 5: %r" % estado())
    comprobar(esperar(lambda: valor() > antes), "la barra no crece: %r → %r" % (antes, valor()))
    open(os.path.join(senal, "2"), "w").close()
    comprobar(esperar(lambda: una("push button", "Reintentar") and una("push button", "Ver el registro")),
              "el fallo sin \"Reintentar\" y \"Ver el registro\"")


def main():
    faltan = [p for p in ("Xvfb", "xdotool", "import", "dbus-daemon", LANZADOR) if not shutil.which(p)]
    faltan += [] if importlib.util.find_spec("pyatspi") else ["pyatspi"]
    if faltan:
        print("SALTADA: falta " + ", ".join(faltan))
        return 77
    with tempfile.TemporaryDirectory(prefix="varno-ventana-", ignore_cleanup_errors=True) as casa:
        procesos = []
        try:
            # -noreset: else the bus launcher's short visit resets the server just as VARNO connects.
            orden = ["Xvfb", "-noreset", "-nolisten", "tcp", "-screen", "0", "1024x768x24", "-displayfd"]
            xvfb, pantalla = leer_linea(lambda fd: orden + [fd])
            procesos.append(xvfb)
            if not pantalla:
                print("SALTADA: Xvfb no arrancó")
                return 77
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
            os.mkdir(os.path.join(casa, "senal"))
            programa = arrancar(os.path.join(bundle, "Contents/MacOS/VARNO"), "--no-mover", stdout=subprocess.DEVNULL,
                                env=dict(entorno, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                                         VARNO_SENAL=os.path.join(casa, "senal")))
            procesos.append(programa)
            ver(entorno)
            leer(os.path.join(casa, "senal"))
            comprobar(programa.poll() is None, "VARNO terminó solo")
        finally:
            for p in reversed(procesos):
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    os.killpg(p.pid, signal.SIGKILL)
                except ProcessLookupError:  # it had already ended, with all it started
                    pass
    return 1 if fallos else 0


if __name__ == "__main__":
    sys.exit(main())
