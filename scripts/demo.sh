#!/usr/bin/env bash
# The whole journey: installs what is needed, builds, and runs VARNO from
# build/VARNO.app against the offline mirror, in a sandbox HOME under build/
# (the user's own home is never touched). With a display the user clicks
# "Instalar"; without one it runs on a virtual screen, clicks by itself and
# keeps a screenshot of each screen it passes in build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/preparar.sh

raiz="$PWD/build"
casa="$raiz/demo-home"
fotos="$raiz/demo"
bash scripts/parar-motor.sh >/dev/null 2>&1 || true
bash scripts/espejo.sh "$raiz/espejo" >/dev/null
# Each run starts from a machine that has never seen VARNO.
rm -rf "$casa" "$fotos"
mkdir -p "$casa" "$fotos"
export HOME="$casa" XDG_DATA_HOME="$casa/.local/share" XDG_CONFIG_HOME="$casa/.config"
export VARNO_ESPEJO="$raiz/espejo"
varno="$raiz/VARNO.app/Contents/MacOS/VARNO"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${VARNO_DEMO_VIRTUAL:-}" ]; then
    echo "VARNO está abierto: pulsa «Instalar»."
    "$varno" --no-mover
else
    xvfb-run -a -s '-screen 0 1280x800x24' bash scripts/demo-virtual.sh "$varno" "$fotos"
    if [ -n "$(ls -A "$fotos")" ]; then
        echo "Capturas de cada pantalla: $fotos/"
        ls "$fotos"
    else
        echo "No se guardó ninguna captura (¿falta «import», de imagemagick?)." >&2
    fi
fi

datos="$casa/Library/Application Support/VARNO"
# Step 5: pip installed the engine's wheel from the bundle.
grep -h -e '^Instalando el motor' -e '^Successfully installed' "$datos/instalacion.log" ||
    { echo "pip no instaló el motor; mira $datos/instalacion.log." >&2; exit 1; }
if curl -fs -m 2 http://127.0.0.1:8770/api/hola | grep -q version; then
    echo "El motor responde en http://127.0.0.1:8770/ (registro: $datos/mesa.log)."
    echo "Para pararlo: bash scripts/parar-motor.sh"
else
    echo "El motor no responde; el registro de la instalación está en $datos/instalacion.log." >&2
    exit 1
fi
