#!/usr/bin/env python3
"""Starts VARNO on a virtual X screen with a fresh home folder and checks its
real window on the first screen: size, place, colours, the main button where
the layout puts it, and its hover look.

Usage: ventana_real.py VARNO [captura.png]
Exits 0 when the window is right, 1 when not, 77 without Xvfb, xdotool or ImageMagick.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

PANTALLA = (1024, 768)
FONDO, PANEL, PAPEL = (11, 11, 13), (35, 35, 43), (228, 228, 231)
TIZA, AZUL, AMARILLO = (156, 157, 163), (42, 91, 215), (252, 184, 19)
NARANJA, BLANCO, TITULO = (255, 155, 47), (255, 255, 255), (10, 10, 12)
fallos = []


def comprobar(cierto, que):
    if not cierto:
        fallos.append(que)
        print("FALLO:", que)


def esperar(condicion, segundos=30.0):
    limite = time.monotonic() + segundos
    while time.monotonic() < limite:
        valor = condicion()
        if valor:
            return valor
        time.sleep(0.1)
    return None


class Captura:
    """The whole screen, read as an 8-bit binary PPM from ImageMagick."""

    def __init__(self, display):
        datos = subprocess.run(["import", "-display", display, "-window", "root", "-depth", "8",
                                "ppm:-"], check=True, capture_output=True).stdout
        campos, i = [], 0  # "P6 ancho alto 255", comments allowed, one blank, the pixels
        while len(campos) < 4:
            while datos[i:i + 1].isspace():
                i += 1
            if datos[i:i + 1] == b"#":
                i = datos.index(b"\n", i) + 1
                continue
            j = i
            while not datos[j:j + 1].isspace():
                j += 1
            campos.append(datos[i:j])
            i = j
        assert campos[0] == b"P6" and campos[3] == b"255", "formato inesperado"
        self.ancho = int(campos[1])
        self.pixeles = datos[i + 1:]

    def en(self, x, y):
        i = (y * self.ancho + x) * 3
        return tuple(self.pixeles[i:i + 3])

    def cuantos(self, x0, y0, ancho, alto, color, tolerancia=24):
        return sum(all(abs(a - b) <= tolerancia for a, b in zip(self.en(x, y), color))
                   for y in range(y0, y0 + alto) for x in range(x0, x0 + ancho))


def probar(varno, display, casa, guardar):
    entorno = {k: v for k, v in os.environ.items() if not k.startswith(("QT_", "XDG_", "WAYLAND"))}
    entorno.update(HOME=casa, DISPLAY=display, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=casa)
    programa = subprocess.Popen([varno, "--no-mover"], env=entorno, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE)
    x = dict(os.environ, DISPLAY=display)

    def xdotool(*argumentos):
        r = subprocess.run(["xdotool", *argumentos], env=x, capture_output=True, text=True)
        return r.stdout if r.returncode == 0 else ""

    try:
        ident = esperar(lambda: xdotool("search", "--onlyvisible", "--name", "^Instalar VARNO$").split())
        if not ident:
            comprobar(False, "ninguna ventana \"Instalar VARNO\" a la vista")
            if programa.poll() is not None:
                print(programa.stderr.read().decode(errors="replace"))
            return
        g = dict(l.split("=", 1) for l in xdotool("getwindowgeometry", "--shell", ident[0]).split())
        wx, wy, ancho, alto = (int(g[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
        comprobar((ancho, alto) == (560, 372), "tamaño %dx%d" % (ancho, alto))
        comprobar(abs(wx - (PANTALLA[0] - 560) // 2) <= 1 and abs(wy - (PANTALLA[1] - 372) // 2) <= 1,
                  "no está centrada: %d,%d" % (wx, wy))

        def boton():
            return Captura(display).en(wx + 45, wy + 300)

        esperar(lambda: boton() == PAPEL, 20)  # painted once the main button shows
        c = Captura(display)

        def en(px, py):
            return c.en(wx + px, wy + py)

        # Around the main button and where the hidden log button would be: background.
        for px, py in ((2, 2), (557, 369), (545, 200), (37, 317), (193, 317), (115, 292),
                       (115, 342), (279, 317), (279, 296)):
            comprobar(en(px, py) == FONDO, "fondo en %d,%d: %s" % (px, py, en(px, py)))
        for px, py in ((45, 300), (185, 300), (45, 334), (185, 334), (60, 317)):
            comprobar(en(px, py) == PAPEL, "botón en %d,%d: %s" % (px, py, en(px, py)))
        comprobar(c.cuantos(wx + 70, wy + 306, 90, 22, TITULO) > 30, "sin título en el botón")
        comprobar((en(52, 59), en(64, 59), en(80, 59)) == (AZUL, AMARILLO, AZUL),
                  "logo: %s %s %s" % (en(52, 59), en(64, 59), en(80, 59)))
        for zona, color, que in (((98, 32, 300, 52), BLANCO, "nombre"),
                                 ((40, 108, 480, 24), PAPEL, "primera línea"),
                                 ((40, 132, 480, 24), NARANJA, "segunda línea"),
                                 ((40, 178, 480, 54), TIZA, "información")):
            comprobar(c.cuantos(wx + zona[0], wy + zona[1], zona[2], zona[3], color) > 50, "sin " + que)
        comprobar(c.cuantos(wx + 40, wy + 186, 480, 84, PANEL, 0) == 0, "progreso a la vista")

        xdotool("mousemove", str(wx + 100), str(wy + 310))
        comprobar(esperar(lambda: boton() == BLANCO, 10), "el botón no se enciende bajo el puntero")
        xdotool("mousemove", str(wx + 500), str(wy + 20))
        comprobar(esperar(lambda: boton() == PAPEL, 10), "el botón no se apaga al salir el puntero")
        if guardar:
            subprocess.run(["import", "-display", display, "-window", "root",
                            "-crop", "560x372+%d+%d" % (wx, wy), guardar], check=True)
        comprobar(programa.poll() is None, "VARNO terminó solo")
    finally:
        programa.terminate()
        programa.wait(10)


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    faltan = [p for p in ("Xvfb", "xdotool", "import") if not shutil.which(p)]
    if faltan:
        print("SALTADA: falta " + ", ".join(faltan))
        return 77
    casa = tempfile.mkdtemp(prefix="varno-ventana-")
    lectura, escritura = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(escritura), "-nolisten", "tcp", "-screen",
                             "0", "%dx%dx24" % PANTALLA], pass_fds=(escritura,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(escritura)
    try:
        # Xvfb writes the number and then a line break; closing the pipe before
        # the line break arrives would make it quit.
        numero = b""
        while not numero.endswith(b"\n"):
            trozo = os.read(lectura, 32)
            if not trozo:
                break
            numero += trozo
        os.close(lectura)
        if not numero.strip():
            print("SALTADA: Xvfb no arrancó")
            return 77
        probar(sys.argv[1], ":" + numero.decode().strip(), casa, sys.argv[2] if len(sys.argv) > 2 else None)
        return 1 if fallos else 0
    finally:
        xvfb.terminate()
        xvfb.wait(10)
        shutil.rmtree(casa, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
