#!/usr/bin/env bash
# Whole-process figures of the built program, each beside the floor measured in
# the same run: an empty Qt application (bench_vacia) and a bare curl probe.
# Usage: bench/procesos.sh [build folder]   (the folder needs -DVARNO_BENCH=ON)
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$raiz/build-bench}" && pwd)
varno="$build/VARNO.app/Contents/MacOS/VARNO"
vacia="$build/bench/bench_vacia"
servidor="$raiz/bench/servidor.py"
tmp=$(mktemp -d)
pid_servidor=""
terminar() {
    [ -n "$pid_servidor" ] && kill "$pid_servidor" 2>/dev/null
    rm -rf "$tmp"
}
trap terminar EXIT

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$tmp/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
version=$(cat "$build/VARNO.app/Contents/Resources/version.txt")

# Mean seconds of each command, by hyperfine.
medias() {
    hyperfine -N --warmup 3 --runs "${RUNS:-30}" --export-json "$tmp/h.json" "$@" >/dev/null 2>&1
    python3 -c 'import json,sys; print(" ".join("%.4f" % r["mean"] for r in json.load(open(sys.argv[1]))["results"]))' "$tmp/h.json"
}
razon() { python3 -c "import sys; print('%.2f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"; }
ms() { python3 -c "import sys; print('%.1f ms' % (float(sys.argv[1]) * 1000))" "$1"; }

# A home whose installation is current, for the hand-off.
casa="$tmp/casa"
datos="$casa/Library/Application Support/VARNO"
mkdir -p "$datos/python/bin" "$datos/app"
printf '#!/bin/sh\nexit 0\n' > "$datos/python/bin/python"
chmod +x "$datos/python/bin/python"
echo "$version" > "$datos/instalado.txt"
python3 "$servidor" 8770 > "$tmp/servidor.out" &
pid_servidor=$!
for _ in $(seq 50); do grep -q listo "$tmp/servidor.out" 2>/dev/null && break; sleep 0.1; done

echo "== Relevo: el motor ya responde (objetivo: <= 1.5 x (sonda + Qt vacía))"
read -r relevo sonda qt <<<"$(medias \
    "env HOME=$casa $varno --no-mover" \
    "/usr/bin/curl -fs -m 1.5 http://127.0.0.1:8770/api/hola" \
    "$vacia --salir")"
echo "VARNO $(ms "$relevo"), sonda $(ms "$sonda"), Qt vacía $(ms "$qt"): razón $(razon "$relevo" "$(python3 -c "print($sonda + $qt)")")"
kill "$pid_servidor"; pid_servidor=""

echo "== Empaquetado (objetivo: <= 2 x Qt vacía)"
read -r icono fondo qt <<<"$(medias \
    "$varno --icono $tmp/icono.png" \
    "$varno --fondo-dmg $tmp/fondo.png 2" \
    "$vacia --salir")"
echo "--icono $(ms "$icono") (razón $(razon "$icono" "$qt")), --fondo-dmg 2 $(ms "$fondo") (razón $(razon "$fondo" "$qt")), Qt vacía $(ms "$qt")"

echo "== Primera ventana pintada (objetivo: < 150 ms)"
read -r ventana qtventana <<<"$(medias \
    "env HOME=$tmp/nueva $build/bench/bench_arranque --no-mover" \
    "$vacia --ventana")"
echo "VARNO $(ms "$ventana"), Qt vacía con ventana $(ms "$qtventana"): razón $(razon "$ventana" "$qtventana")"

echo "== Memoria máxima de una corrida con ventana (objetivo: < 60 MB)"
# An update that floods its output, then opens an engine that answers.
copia="$tmp/VARNO.app"
cp -R "$build/VARNO.app" "$copia"
cat > "$copia/Contents/Resources/paquete/instalar_mac.sh" <<FIN
#!/bin/bash
datos="\$HOME/Library/Application Support/VARNO"
echo '== 5/7 Las bibliotecas'
/usr/bin/python3 -c 'import sys; sys.stdout.buffer.write(b"Downloading torch (60.5MiB) 42%\n" * 1000000)'
printf '#!/bin/bash\nexec /usr/bin/python3 "$servidor" 8770\n' > "\$datos/python/bin/python"
echo "\$VARNO_VERSION" > "\$datos/instalado.txt"
FIN
casa2="$tmp/casa2"
datos2="$casa2/Library/Application Support/VARNO"
mkdir -p "$datos2/python/bin" "$datos2/app"
printf '#!/bin/sh\nexit 1\n' > "$datos2/python/bin/python"
chmod +x "$datos2/python/bin/python"
echo 0.1 > "$datos2/instalado.txt"
HOME="$casa2" /usr/bin/time -f '%M' -o "$tmp/varno.kb" "$copia/Contents/MacOS/VARNO" --no-mover
/usr/bin/time -f '%M' -o "$tmp/vacia.kb" "$vacia" --ventana
pkill -f "$servidor 8770" 2>/dev/null || true
echo "VARNO $(( $(cat "$tmp/varno.kb") / 1024 )) MB, Qt vacía con ventana $(( $(cat "$tmp/vacia.kb") / 1024 )) MB"
