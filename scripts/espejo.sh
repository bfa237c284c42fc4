#!/usr/bin/env bash
# Builds the offline mirror that the demo and the tests install from, so that
# no installation here ever reaches the network:
#
#   espejo/ruedas/   the wheel folder pip installs the libraries from (the
#                    sample engine needs none, so it starts empty; the engine's
#                    own wheel travels in the bundle)
#
# The installer takes every download named in paquete/manifiesto.txt from the
# mirror by its file name and checks it against the manifest's SHA-256 sum;
# this script checks that every item meant for this system is in the mirror
# with that sum (on Linux there is none: Python and ffmpeg come from the
# system).
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
