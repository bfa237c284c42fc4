#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and UBSan) into
# build-fuzz/ and runs each one a fixed number of times from its corpus in
# fuzz/corpus/<target>/. New inputs go to build-fuzz/, never into the
# repository; an input that breaks a target is left in build-fuzz/fallos/.
#   VARNO_FUZZ_VECES   runs per target (by default each target's own number,
#                      about ten seconds of it on a small machine; a longer
#                      search is this variable set higher)
#   VARNO_FUZZ_SEMILLA the random seed (default 1, so that CI is repeatable)
# Then it prints the share of branches, in the code each target guards, that the target's final
# corpus reaches (source-based coverage, in build-fuzz-cobertura/).
set -euo pipefail
cd "$(dirname "$0")/.."
raiz="$PWD"
semilla="${VARNO_FUZZ_SEMILLA:-1}"

cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j2

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p build-fuzz/fallos
for par in opciones:60000 version:30000 encuadre:8000 ultima_linea:30000 record:30000; do
    objetivo="${par%%:*}"
    veces="${VARNO_FUZZ_VECES:-${par#*:}}"
    nuevos="build-fuzz/corpus/$objetivo"
    rm -rf "$nuevos" && mkdir -p "$nuevos"
    opciones=(-runs="$veces" -seed="$semilla" -max_len=8192 -timeout=20 -rss_limit_mb=2048
        -print_final_stats=1 -artifact_prefix="build-fuzz/fallos/$objetivo-")
    if [ -f "fuzz/diccionarios/$objetivo.dict" ]; then
        opciones+=(-dict="fuzz/diccionarios/$objetivo.dict")
    fi
    echo "== fuzz_$objetivo: $veces runs"
    "build-fuzz/fuzz_$objetivo" "${opciones[@]}" "$nuevos" "$raiz/fuzz/corpus/$objetivo" \
        2>"build-fuzz/$objetivo.log" || {
        tail -n 40 "build-fuzz/$objetivo.log"
        echo "fuzz_$objetivo failed; the input is in build-fuzz/fallos/" >&2
        exit 1
    }
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "build-fuzz/$objetivo.log" || true
done

# A copy built for coverage, without the sanitizers, replays each final corpus in a moment. What a
# target cannot reach is named, with the reason, in the target.
cmake -S fuzz -B build-fuzz-cobertura -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DVARNO_FUZZ_COBERTURA=ON >/dev/null
cmake --build build-fuzz-cobertura -j2 >/dev/null
echo "== branches reached, of the code each target guards"
for par in 'opciones:valores|leerEscala|leerPantalla|leerOpciones' 'version:leerVersion|leerUtf8' \
    'encuadre:Decodificador|decodificar|secuencia|recortada|esEspacio|acortar|sinFormatoBidi|Trozo|Encuadre|leerLinea|textoDe|detalleDeFallo' \
    'ultima_linea:leerUtf8|ultimaLinea|lineaQueCuenta|recortada|esEspacio|acortar' \
    'record:leerFila|digestDe|entradaDe|recorrerRecord|leerRecord|columnaSha256'; do
    objetivo="${par%%:*}"
    perfil="build-fuzz-cobertura/$objetivo"
    LLVM_PROFILE_FILE="$perfil.profraw" "build-fuzz-cobertura/fuzz_$objetivo" -runs=0 \
        "build-fuzz/corpus/$objetivo" "fuzz/corpus/$objetivo" 2>/dev/null
    llvm-profdata-14 merge -sparse -o "$perfil.profdata" "$perfil.profraw"
    llvm-cov-14 export -instr-profile="$perfil.profdata" "build-fuzz-cobertura/fuzz_$objetivo" |
        python3 scripts/cobertura-fuzz.py "$objetivo" "${par#*:}"
done
