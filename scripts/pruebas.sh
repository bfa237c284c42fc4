#!/usr/bin/env bash
# Installs, builds and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/preparar.sh
cd build
ctest --output-on-failure -j2 "$@"
