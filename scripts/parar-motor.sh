#!/usr/bin/env bash
# Stops this installation's engine: a process of this user started as VARNO
# starts it (or as older versions did), with the interpreter of the data
# folder, or of the demo's data folder in this checkout. Whatever else holds
# port 8770 is left alone, whatever it says about itself.
set -u
raiz=$(cd "$(dirname "$0")/.." && pwd)
yo=$(id -u)
ordenes=()
for datos in "$HOME/Library/Application Support/VARNO" "$raiz/build/demo-home/Library/Application Support/VARNO"; do
    ordenes+=("$yo $datos/python/bin/python -I -m motor" "$yo $datos/python/bin/python -m motor")
done
pids=$(ps axww -o pid= -o uid= -o command= | while read -r pid uid resto; do
    for orden in "${ordenes[@]}"; do
        if [ "$uid $resto" = "$orden" ]; then printf '%s ' "$pid"; fi
    done
done)
if [ -z "$pids" ]; then
    echo "No hay ningún motor en marcha."
    exit 0
fi
for pid in $pids; do
    kill -TERM "$pid" 2>/dev/null
    # It ends its last request and writes its last line first.
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "El motor (pid $pid) no se detuvo."
        exit 1
    fi
    echo "Motor parado (pid $pid)."
done
