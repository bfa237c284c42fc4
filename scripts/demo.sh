#!/usr/bin/env bash
# Installs, builds and runs VARNO from build/VARNO.app in a sandbox HOME under
# build/, so the user's own home is never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/preparar.sh

raiz="$PWD/build"
casa="$raiz/demo-home"
salida="$raiz/demo"
mkdir -p "$casa" "$salida"

correr() {
    HOME="$casa" XDG_DATA_HOME="$casa/.local/share" "$raiz/VARNO.app/Contents/MacOS/VARNO" --no-mover &
    local pid=$!
    sleep 3
    if command -v import >/dev/null; then
        import -window root "$salida/pantalla-0.png" 2>/dev/null || true
    fi
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

if [ -n "${DISPLAY:-}" ] && [ -z "${VARNO_DEMO_XVFB:-}" ]; then
    HOME="$casa" XDG_DATA_HOME="$casa/.local/share" exec "$raiz/VARNO.app/Contents/MacOS/VARNO" --no-mover
fi
export -f correr
export casa raiz salida
xvfb-run -a -s '-screen 0 1024x768x24' bash -c correr
echo "Captura de la ventana: $salida/pantalla-0.png"
