#!/usr/bin/env bash
# Installs, builds and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/preparar.sh
# The demo leaves its engine answering on the port the tests stand in on.
bash scripts/parar-motor.sh >/dev/null
cd build
ctest --output-on-failure -j2 "$@"
# A whole run (no arguments, as CI makes it) then compiles everything as a
# Mac's clang and libc++ do, runs the suite again under the sanitizers and
# runs the fuzz targets, each in a build folder of its own.
if [ $# -eq 0 ]; then
    bash ../scripts/compilar-libcxx.sh
    bash ../scripts/pruebas-sanitizadas.sh
    bash ../scripts/pruebas-fuzz.sh
fi
