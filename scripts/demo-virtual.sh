#!/usr/bin/env bash
# Runs inside a virtual screen: starts VARNO, clicks "Instalar" and keeps a
# screenshot of each screen as the installation and the opening go by.
# Use: demo-virtual.sh VARNO_EXECUTABLE PHOTO_FOLDER
set -euo pipefail
varno=$1
fotos=$2
datos="$HOME/Library/Application Support/VARNO"

"$varno" --no-mover &
pid=$!

foto() { import -window root "$fotos/$1.png" 2>/dev/null || true; }

ventana=""
for _ in $(seq 100); do
    ventana=$(xdotool search --name '^Instalar VARNO$' 2>/dev/null | head -n 1 || true)
    [ -n "$ventana" ] && break
    sleep 0.1
done
if [ -z "$ventana" ]; then
    echo "La ventana de VARNO no apareció." >&2
    kill "$pid" 2>/dev/null || true
    exit 1
fi
sleep 0.5
foto 0-listo-para-instalar

# The main button sits at (40, 296) and measures 150 × 42 inside the window.
eval "$(xdotool getwindowgeometry --shell "$ventana")"
xdotool mousemove "$((X + 115))" "$((Y + 317))" click 1

# Each screen is recognised by what it leaves in the data folder.
visto=""
while kill -0 "$pid" 2>/dev/null; do
    if [ -z "$visto" ] && [ -s "$datos/instalacion.log" ]; then
        sleep 0.3; foto 1-instalando; visto=1
    elif [ "$visto" = 1 ] && [ -f "$datos/instalado.txt" ]; then
        sleep 0.2; foto 2-instalado; visto=2
    elif [ "$visto" = 2 ] && [ -f "$datos/mesa.log" ]; then
        foto 4-abriendo; visto=4
    elif [ "$visto" = 4 ] && curl -fs -m 1 http://127.0.0.1:8770/api/hola | grep -q version; then
        sleep 0.8; foto 4-abierto; visto=5
    fi
    sleep 0.1
done
wait "$pid"
