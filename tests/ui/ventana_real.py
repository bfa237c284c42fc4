#!/usr/bin/env python3
"""Starts VARNO on a virtual X screen with a fresh home folder and checks the
real window on its first screen: size, title, place, colours and the buttons.

Usage: ventana_real.py VARNO [captura.png]
Exits 0 when the window is right, 1 when it is not, 77 when there is no
virtual screen to run it on.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SALTAR = 77
PANTALLA = (1024, 768)

FONDO = (11, 11, 13)
PANEL = (35, 35, 43)
PAPEL = (228, 228, 231)
TIZA = (156, 157, 163)
AZUL = (42, 91, 215)
AMARILLO = (252, 184, 19)
NARANJA = (255, 155, 47)
BLANCO = (255, 255, 255)
TITULO = (10, 10, 12)

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
    """The whole screen, read as a binary PPM from ImageMagick."""

    def __init__(self, display):
        datos = subprocess.run(["import", "-display", display, "-window", "root", "-depth", "8", "ppm:-"],
                               check=True, capture_output=True).stdout
        # "P6 ancho alto 255", comments allowed between fields, then one
        # white-space byte and the pixels.
        campos, i = [], 0
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
        self.ancho, self.alto = int(campos[1]), int(campos[2])
        self.pixeles = datos[i + 1:]

    def en(self, x, y):
        i = (y * self.ancho + x) * 3
        return tuple(self.pixeles[i:i + 3])

    def cuantos(self, x0, y0, ancho, alto, color, tolerancia=24):
        n = 0
        for y in range(y0, y0 + alto):
            for x in range(x0, x0 + ancho):
                if all(abs(a - b) <= tolerancia for a, b in zip(self.en(x, y), color)):
                    n += 1
        return n


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    varno = sys.argv[1]
    guardar = sys.argv[2] if len(sys.argv) > 2 else None
    faltan = [p for p in ("Xvfb", "xdotool", "import") if not shutil.which(p)]
    if faltan:
        print("SALTADA: falta " + ", ".join(faltan) + " (xvfb, xdotool e imagemagick)")
        return SALTAR

    casa = tempfile.mkdtemp(prefix="varno-ventana-")
    lectura, escritura = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(escritura), "-nolisten", "tcp",
                             "-screen", "0", "%dx%dx24" % PANTALLA],
                            pass_fds=(escritura,), stdout=subprocess.DEVNULL,
                            stderr=open("/tmp/xvfb_dbg.txt","w"))
    os.close(escritura)
    programa = None
    try:
        # Xvfb writes the number, then a line break; closing the pipe before the
        # line break arrives would make it quit.
        numero = b""
        while not numero.endswith(b"\n"):
            trozo = os.read(lectura, 32)
            if not trozo:
                break
            numero += trozo
        os.close(lectura)
        numero = numero.decode().strip()
        if not numero:
            print("SALTADA: Xvfb no arrancó")
            return SALTAR
        display = ":" + numero
        entorno = {k: v for k, v in os.environ.items()
                   if not k.startswith(("QT_", "XDG_", "WAYLAND"))}
        entorno.update(HOME=casa, DISPLAY=display, QT_QPA_PLATFORM="xcb",
                       XDG_RUNTIME_DIR=casa, XDG_CONFIG_HOME=casa + "/.config",
                       XDG_DATA_HOME=casa + "/.local/share")
        programa = subprocess.Popen([varno, "--no-mover"], env=entorno,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        x = dict(os.environ, DISPLAY=display)

        def ventana():
            r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Instalar VARNO$"],
                               env=x, capture_output=True, text=True)
            return r.stdout.split()[0] if r.returncode == 0 and r.stdout.split() else None

        ident = esperar(ventana)
        if not ident:
            print("FALLO: ninguna ventana \"Instalar VARNO\" a la vista")
            if programa.poll() is not None:
                print(programa.stderr.read().decode(errors="replace"))
            return 1
        geometria = subprocess.run(["xdotool", "getwindowgeometry", "--shell", ident], env=x,
                                   capture_output=True, text=True, check=True).stdout
        g = dict(linea.split("=", 1) for linea in geometria.split())
        wx, wy, ancho, alto = (int(g[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
        comprobar((ancho, alto) == (560, 372), "tamaño %dx%d" % (ancho, alto))
        comprobar(abs(wx - (PANTALLA[0] - 560) // 2) <= 1 and abs(wy - (PANTALLA[1] - 372) // 2) <= 1,
                  "no está centrada: %d,%d" % (wx, wy))

        # Painted once the main button shows its fill.
        def pintada():
            c = Captura(display)
            return c if c.en(wx + 45, wy + 300) == PAPEL else None

        c = esperar(pintada, 20)
        if not c:
            c = Captura(display)
            comprobar(False, "el botón principal no aparece: %s" % (c.en(wx + 45, wy + 300),))

        def en(px, py):
            return c.en(wx + px, wy + py)

        for px, py in ((2, 2), (557, 369), (545, 200), (20, 317), (279, 317), (279, 296),
                       (115, 292), (115, 342), (37, 317), (193, 317)):
            comprobar(en(px, py) == FONDO, "fondo en %d,%d: %s" % (px, py, en(px, py)))
        # The main button where the layout puts it, 150 × 42 at (40, 296).
        for px, py in ((45, 300), (185, 300), (45, 334), (185, 334), (60, 317)):
            comprobar(en(px, py) == PAPEL, "botón en %d,%d: %s" % (px, py, en(px, py)))
        comprobar(c.cuantos(wx + 70, wy + 306, 90, 22, TITULO) > 30, "sin título en el botón")
        comprobar(en(64, 59) == AMARILLO and en(52, 59) == AZUL and en(80, 59) == AZUL,
                  "logo: %s %s %s" % (en(52, 59), en(64, 59), en(80, 59)))
        comprobar(c.cuantos(wx + 98, wy + 32, 300, 52, BLANCO, 0) > 100, "sin nombre")
        comprobar(c.cuantos(wx + 40, wy + 108, 480, 24, PAPEL) > 50, "sin primera línea")
        comprobar(c.cuantos(wx + 40, wy + 132, 480, 24, NARANJA) > 50, "sin segunda línea")
        comprobar(c.cuantos(wx + 40, wy + 178, 480, 54, TIZA) > 100, "sin información")
        # Screen 0 hides the progress: no track, no fill.
        comprobar(c.cuantos(wx + 40, wy + 186, 480, 84, PANEL, 0) == 0, "progreso a la vista")

        # The pointer over the main button lights it up, and away it goes back.
        subprocess.run(["xdotool", "mousemove", str(wx + 100), str(wy + 310)], env=x, check=True)
        encendido = esperar(lambda: Captura(display).en(wx + 45, wy + 300) == BLANCO, 10)
        comprobar(encendido, "el botón no cambia con el puntero encima")
        subprocess.run(["xdotool", "mousemove", str(wx + 500), str(wy + 20)], env=x, check=True)
        apagado = esperar(lambda: Captura(display).en(wx + 45, wy + 300) == PAPEL, 10)
        comprobar(apagado, "el botón no vuelve al quitar el puntero")

        if guardar:
            subprocess.run(["import", "-display", display, "-window", "root",
                            "-crop", "560x372+%d+%d" % (wx, wy), guardar], check=True)
        comprobar(programa.poll() is None, "VARNO terminó solo")
        return 1 if fallos else 0
    finally:
        for p in (programa, xvfb):
            if p and p.poll() is None:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        shutil.rmtree(casa, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
