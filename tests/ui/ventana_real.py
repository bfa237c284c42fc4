#!/usr/bin/env python3
"""VARNO in a fresh home with a stand-in installer: read and pressed through AT-SPI, installed and opened from the
keyboard alone. Usage, on a virtual X screen with its own session bus: ventana_real.py VARNO."""
import contextlib, importlib.util, os, re, shutil, signal, subprocess, sys, tempfile, time

# The first run fails once the test makes the file "sigue", or after 60 s; the next installs an engine that never
# answers and notes each of its starts.
INSTALADOR = """#!/bin/bash
if [ ! -e "$HOME/fallado" ]; then
    touch "$HOME/fallado"
    echo '== 5/7 Las bibliotecas'
    for _ in $(seq 600); do [ -e "$HOME/sigue" ] && break; sleep 0.1; done
    echo 'No se pudo descargar ffmpeg.'
    exit 1
fi
echo '== 7/7 Listo'
motor="$HOME/Library/Application Support/VARNO/python/bin/python"
mkdir -p "$(dirname "$motor")" "$HOME/Library/Application Support/VARNO/app"
printf '#!/bin/bash\\necho >> "%s/arranques"\\nexit 1\\n' "$HOME" > "$motor"
chmod +x "$motor"
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


def vistas():  # (role, name, object) of every view of VARNO the reader finds
    import pyatspi
    todo, pendientes = [], [a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "VARNO"]
    while pendientes:
        o = pendientes.pop()
        todo.append((o.getRoleName(), o.name, o))
        pendientes.extend(o)
    return todo


def una(rol, nombre=None):
    return next((o for r, n, o in vistas() if r == rol and nombre in (None, n)), None)


def recorrido(entorno, casa):  # Tab to «Instalar», Return; «Reintentar» pressed through AT-SPI; Return opens
    import pyatspi
    primera = {("frame", "Instalar VARNO"), ("image", "VARNO"), ("label", "VARNO"), ("push button", "Instalar")}
    if not comprobar(esperar(lambda: primera <= {(r, n) for r, n, _ in vistas()}), "primera pantalla incompleta"):
        return
    comprobar(not una("progress bar") and not una("push button", "Ver el registro"), "vistas ocultas leídas")
    xdotool = lambda *a: subprocess.run(["xdotool", *a], env=entorno, capture_output=True, text=True).stdout
    ident = esperar(lambda: xdotool("search", "--onlyvisible", "--name", "^Instalar VARNO$").split())
    if not comprobar(ident, "sin ventana que instalar"):
        return
    xdotool("windowfocus", "--sync", ident[0])
    xdotool("key", "Tab")
    enfocado = lambda: (b := una("push button", "Instalar")) and b.getState().contains(pyatspi.STATE_FOCUSED)
    comprobar(esperar(enfocado), "Tab no llega a «Instalar»")
    xdotool("key", "Return")
    paso = esperar(lambda: una("label", "Paso 5 de 7 · Las bibliotecas"))
    boton, barra = una("push button", "Instalando…"), una("progress bar")
    comprobar(paso and barra and barra.queryValue().currentValue > 0, "sin el paso 5 y su avance")
    comprobar(boton and not boton.getState().contains(pyatspi.STATE_ENABLED), "botón ofrecido instalando")
    open(os.path.join(casa, "sigue"), "w").close()
    reintentar = esperar(lambda: una("push button", "Ver el registro") and una("push button", "Reintentar"))
    if not comprobar(reintentar, "el fallo sin \"Reintentar\" y \"Ver el registro\""):
        return
    reintentar.queryAction().doAction(0)
    comprobar(esperar(lambda: una("label", "VARNO está instalado.")), "«Reintentar» no instala")
    xdotool("key", "Return")
    arranques = lambda: open(os.path.join(casa, "arranques")).read().count("\n")
    comprobar(esperar(lambda: una("push button", "Reintentar"), 40), "el motor mudo no acaba en «Reintentar»")
    xdotool("key", "Return")
    comprobar(esperar(lambda: arranques() == 2 and una("label", "Abriendo VARNO…")), "Return no abre el motor")


def main():
    faltan = [p for p in ("xdotool",) if not shutil.which(p)]
    if faltan or not importlib.util.find_spec("pyatspi"):
        print("SALTADA: falta", *(faltan or ["pyatspi"]))
        return 77
    entorno = {k: v for k, v in os.environ.items() if not k.startswith(("QT_", "XDG_", "WAYLAND"))}
    with tempfile.TemporaryDirectory(prefix="varno-ventana-", ignore_cleanup_errors=True) as casa:
        entorno = dict(entorno, HOME=casa, XDG_RUNTIME_DIR=casa)
        bundle = os.path.join(casa, "VARNO.app")
        shutil.copytree(re.sub(r"/Contents/MacOS/[^/]*$", "", sys.argv[1]), bundle, symlinks=True)
        with open(os.path.join(bundle, "Contents/Resources/paquete/instalar_mac.sh"), "w") as f:
            f.write(INSTALADOR)
        # In a group of its own, so that it goes with the installer it started.
        entorno_varno = dict(entorno, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        programa = subprocess.Popen([bundle + "/Contents/MacOS/VARNO", "--no-mover"], env=entorno_varno,
                                    start_new_session=True, stdout=subprocess.DEVNULL)
        try:
            recorrido(entorno, casa)
            comprobar(programa.poll() is None, "VARNO terminó solo")
        finally:
            with contextlib.suppress(ProcessLookupError):  # it may have ended, with all it started
                os.killpg(programa.pid, signal.SIGKILL)
            programa.wait()
    return int(bool(fallos))


if __name__ == "__main__":
    sys.exit(main())
