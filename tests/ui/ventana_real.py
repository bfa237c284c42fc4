#!/usr/bin/env python3
"""Starts VARNO on a virtual X screen with a fresh home folder and checks its real
window: size, place, colours, the main button where the layout puts it and its hover.
Usage: ventana_real.py VARNO. Exits 77 without Xvfb, xdotool or ImageMagick."""
import os, shutil, subprocess, sys, tempfile, time

FONDO, PAPEL, AZUL, BLANCO = (11, 11, 13), (228, 228, 231), (42, 91, 215), (255, 255, 255)
fallos = []


def comprobar(cierto, que):
    if not cierto:
        fallos.append(que)
        print("FALLO:", que)


def esperar(condicion, segundos=20):
    limite = time.monotonic() + segundos
    while not (valor := condicion()) and time.monotonic() < limite:
        time.sleep(0.1)
    return valor


def probar(varno, display, casa):
    x = dict(os.environ, DISPLAY=display)
    entorno = {k: v for k, v in x.items() if not k.startswith(("QT_", "XDG_", "WAYLAND"))}
    entorno.update(HOME=casa, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=casa)
    programa = subprocess.Popen([varno, "--no-mover"], env=entorno, stdout=subprocess.DEVNULL)
    xdotool = lambda *a: subprocess.run(["xdotool", *a], env=x, capture_output=True, text=True).stdout

    def captura():  # the window's pixel at px, py
        crudo = subprocess.run(["import", "-display", display, "-window", "root", "-depth", "8",
                                "rgb:-"], check=True, capture_output=True).stdout
        return lambda px, py: tuple(crudo[(i := ((wy + py) * 1024 + wx + px) * 3):i + 3])

    def cuantos(en, x0, y0, w, h, color, tol=24):
        return sum(all(abs(a - b) <= tol for a, b in zip(en(px, py), color))
                   for py in range(y0, y0 + h) for px in range(x0, x0 + w))

    try:
        ident = esperar(lambda: xdotool("search", "--onlyvisible", "--name", "^Instalar VARNO$").split())
        if not ident:
            return comprobar(False, "ninguna ventana \"Instalar VARNO\" a la vista")
        g = dict(l.split("=", 1) for l in xdotool("getwindowgeometry", "--shell", ident[0]).split())
        wx, wy = int(g["X"]), int(g["Y"])
        comprobar((wx, wy, g["WIDTH"], g["HEIGHT"]) == (232, 198, "560", "372"), "tamaño o sitio: %s" % g)
        boton = lambda color: esperar(lambda: captura()(45, 300) == color)
        boton(PAPEL)  # painted once the main button shows
        en = captura()
        # Background around the main button and where the hidden log button would
        # be; the button's corners; the logo's bars.
        for px, py, color in ((2, 2, FONDO), (557, 369, FONDO), (545, 200, FONDO), (37, 317, FONDO),
                              (193, 317, FONDO), (115, 292, FONDO), (115, 342, FONDO),
                              (279, 317, FONDO), (279, 296, FONDO), (45, 300, PAPEL),
                              (185, 300, PAPEL), (45, 334, PAPEL), (185, 334, PAPEL),
                              (52, 59, AZUL), (64, 59, (252, 184, 19)), (80, 59, AZUL)):
            comprobar(en(px, py) == color, "en %d,%d: %s, no %s" % (px, py, en(px, py), color))
        # The title, the name, the two lines and the information in their colours; no progress.
        for zona, color, minimo in (((70, 306, 90, 22), (10, 10, 12), 30), ((98, 32, 300, 52), BLANCO, 50),
                                    ((40, 108, 480, 24), PAPEL, 50), ((40, 132, 480, 24), (255, 155, 47), 50),
                                    ((40, 178, 480, 54), (156, 157, 163), 50)):
            comprobar(cuantos(en, *zona, color) > minimo, "sin %s en %s" % (color, zona))
        comprobar(cuantos(en, 40, 186, 480, 84, (35, 35, 43), 0) == 0, "progreso a la vista")
        xdotool("mousemove", str(wx + 100), str(wy + 310))
        comprobar(boton(BLANCO), "el botón no se enciende bajo el puntero")
        xdotool("mousemove", str(wx + 500), str(wy + 20))
        comprobar(boton(PAPEL), "el botón no se apaga al salir el puntero")
        comprobar(programa.poll() is None, "VARNO terminó solo")
    finally:
        programa.terminate()
        programa.wait(10)


def main():
    if faltan := [p for p in ("Xvfb", "xdotool", "import") if not shutil.which(p)]:
        print("SALTADA: falta " + ", ".join(faltan))
        return 77
    lectura, escritura = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(escritura), "-nolisten", "tcp", "-screen",
                             "0", "1024x768x24"], pass_fds=(escritura,), stderr=subprocess.DEVNULL)
    os.close(escritura)
    try:
        numero = b""  # up to the line break: closing the pipe before it makes Xvfb quit
        while not numero.endswith(b"\n") and (trozo := os.read(lectura, 32)):
            numero += trozo
        if not numero.strip():
            print("SALTADA: Xvfb no arrancó")
            return 77
        with tempfile.TemporaryDirectory(prefix="varno-ventana-", ignore_cleanup_errors=True) as casa:
            probar(sys.argv[1], ":" + numero.decode().strip(), casa)
        return 1 if fallos else 0
    finally:
        os.close(lectura)
        xvfb.terminate()
        xvfb.wait(10)


if __name__ == "__main__":
    sys.exit(main())
