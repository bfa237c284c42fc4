#!/usr/bin/env bash
# Builds the offline mirror that the demo and the tests install from, so that
# no installation here ever reaches the network:
#
#   espejo/interfaz-1.tar   the engine's web page, made from scripts/espejo/interfaz
#   espejo/ruedas/          the wheel folder pip installs from (the sample engine
#                           needs no library, so it starts empty)
#
# The installer takes every download named in paquete/manifiesto.txt from the
# mirror by its file name and checks it against the manifest's SHA-256 sum.
# The archive is therefore built byte for byte the same every time (fixed
# order, dates, owners and modes, no compression) and its sum is written in
# the manifest; this script checks that the two still agree, so a change to
# the page without a new sum fails here instead of in the installer.
#
# For an offline installation on a Mac, put the macOS files of the manifest
# into the same folder under the file names of their URLs.
#
# Use: bash scripts/espejo.sh [DESTINO]   (by default build/espejo)
# then: VARNO_ESPEJO=DESTINO bash paquete/instalar_mac.sh
set -euo pipefail

raiz=$(cd "$(dirname "$0")/.." && pwd)
destino=${1:-$raiz/build/espejo}
mkdir -p "$destino/ruedas"
destino=$(cd "$destino" && pwd)

python3 - "$raiz/scripts/espejo/interfaz" "$destino/interfaz-1.tar" <<'PY'
import io, os, sys, tarfile

fuente, salida = sys.argv[1], sys.argv[2]
FECHA = 1704067200  # 2024-01-01: a fixed date keeps the archive's bytes fixed

def entrada(nombre, tipo, modo, tamano=0):
    info = tarfile.TarInfo(nombre)
    info.type, info.mode, info.size, info.mtime = tipo, modo, tamano, FECHA
    info.uid = info.gid = 0
    info.uname = info.gname = ""
    return info

temporal = salida + ".parcial"
with tarfile.open(temporal, "w", format=tarfile.USTAR_FORMAT) as tar:
    tar.addfile(entrada("interfaz", tarfile.DIRTYPE, 0o755))
    for nombre in sorted(os.listdir(fuente)):
        with open(os.path.join(fuente, nombre), "rb") as f:
            datos = f.read()
        tar.addfile(entrada("interfaz/" + nombre, tarfile.REGTYPE, 0o644, len(datos)), io.BytesIO(datos))
os.replace(temporal, salida)
PY

# Every item of the manifest meant for this system must be in the mirror with
# the manifest's sum.
falla=0
while read -r nombre plataforma suma url _; do
    case $nombre in '' | '#'*) continue ;; esac
    case $plataforma in todas | linux) ;; *) continue ;; esac
    archivo="$destino/${url##*/}"
    if [ ! -f "$archivo" ]; then
        echo "El espejo no tiene $nombre (${url##*/})." >&2
        falla=1
        continue
    fi
    real=$(sha256sum "$archivo")
    real=${real%% *}
    if [ "$real" != "$suma" ]; then
        echo "La suma de $nombre en el espejo ($real) no es la del manifiesto ($suma)." >&2
        falla=1
    fi
done <"$raiz/paquete/manifiesto.txt"
[ "$falla" -eq 0 ] || exit 1

echo "Espejo listo en $destino"
echo "Instala desde él con VARNO_ESPEJO=\"$destino\""
