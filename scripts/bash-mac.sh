#!/usr/bin/env bash
# shellcheck disable=SC2016  # the built bash expands its own variables
# Builds GNU bash 3.2.48, the bash that macOS ships as /bin/bash, so that the
# installer's scenarios also run under the shell a Mac runs them with.
#   bash scripts/bash-mac.sh DESTINO   -> DESTINO/bash (about a minute; once)
# Needs gcc, make and bison. The source is GNU's tarball, kept in terceros/.
set -euo pipefail
fuente="$(cd "$(dirname "$0")/.." && pwd)/terceros/bash-3.2.48.tar.gz"
destino=$(mkdir -p "${1:?DESTINO}" && cd "$1" && pwd)
if [ -x "$destino/bash" ] && "$destino/bash" -c '[ "${BASH_VERSINFO[0]}" = 3 ]'; then
    exit 0
fi
obra=$(mktemp -d)
trap 'rm -rf "$obra"' EXIT
tar -xzf "$fuente" -C "$obra"
cd "$obra/bash-3.2.48"
# The parser in the tarball is older than its grammar: bison writes it again.
rm -f y.tab.c y.tab.h
CFLAGS="-O1 -std=gnu89 -w" ./configure --without-bash-malloc --disable-nls >configure.log 2>&1 ||
    { tail -n 20 configure.log; exit 1; }
# Its makefiles race when run in parallel; what a parallel run left undone is
# then finished one step at a time.
make -j"$(nproc)" bash >make.log 2>&1 || make bash >>make.log 2>&1 || { tail -n 20 make.log; exit 1; }
cp bash "$destino/bash.nuevo"
mv -f "$destino/bash.nuevo" "$destino/bash"
"$destino/bash" -c 'echo "bash $BASH_VERSION"'
