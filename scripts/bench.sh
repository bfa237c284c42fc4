#!/usr/bin/env bash
# Builds the benchmarks (Release) into build-bench/ and prints every figure
# beside the limit it is compared with.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/preparar.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNO_BENCH=ON -DVARNO_TESTS=OFF >/dev/null
cmake --build build-bench
build-bench/bench/bench_bomba
build-bench/bench/bench_listo "${LISTO_CORRIDAS:-20}"
build-bench/bench/bench_png
build-bench/bench/bench_verificar
build-bench/bench/bench_viaje
# The first installation and maintenance at real size (about 2 GB and 100 000 files; the wheels are made once).
python3 bench/escala.py build-bench
bash bench/procesos.sh build-bench
# Random kills, longer than in the test command: how many trials, how many recovered, and the time.
VARNO_BUNDLE="$PWD/build-bench/VARNO.app" VARNO_MATAR_ENSAYOS=${MATAR_ENSAYOS:-70} PYTHONDONTWRITEBYTECODE=1 \
    python3 tests/paquete/prueba_matar.py
