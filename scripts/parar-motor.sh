#!/usr/bin/env bash
# Stops the engine that answers on 127.0.0.1:8770 (it names its own process).
set -euo pipefail
pid=$(curl -fs -m 2 http://127.0.0.1:8770/api/hola |
    python3 -c 'import json, sys; print(json.load(sys.stdin).get("pid", ""))')
if [ -z "$pid" ]; then
    echo "No hay ningún motor en marcha."
    exit 0
fi
kill "$pid"
echo "Motor parado (pid $pid)."
