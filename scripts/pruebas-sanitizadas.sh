#!/usr/bin/env bash
# Builds the library, the program and the tests with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs the suite there. Any
# report from our own code fails the run; the suppressions only cover Qt and
# the system, which are not instrumented.
set -euo pipefail
cd "$(dirname "$0")/.."
raiz="$PWD"
supresiones="$raiz/scripts/sanitizadores"

# Also while building: the build runs the program to draw its icon.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:suppressions=$supresiones/asan.supp"
export LSAN_OPTIONS="suppressions=$supresiones/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$supresiones/ubsan.supp"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNO_SANITIZE=ON -DVARNO_WERROR=ON -DVARNO_TESTS=ON >/dev/null
cmake --build build-asan -j2

# Left out, with any test labelled sin_sanitizar: the real window on a
# virtual X screen, looked at and read as a screen reader reads it
# (libxkbcommon-x11 reads past a reply that X hands it, which ASan reports
# inside Qt's start, and it checks pixels and what a reader finds, not
# memory), and the installer script's own tests, which run no code of ours.
ctest --test-dir build-asan --output-on-failure -j2 -LE sin_sanitizar -E '^(ui\.ventana_real|paquete_)' "$@"
