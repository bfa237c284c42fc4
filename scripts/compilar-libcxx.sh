#!/usr/bin/env bash
# Compiles every translation unit of src/, tests/ and fuzz/ as a Mac's
# toolchain does: clang with LLVM's libc++, warnings as errors. A standard
# library feature that Apple's libc++ lacks fails here, not on a builder's Mac.
#
# Compile only: Debian's Qt and GoogleTest are built against libstdc++, so
# nothing here can be linked against them. Each unit is checked with
# -fsyntax-only, after moc has written what the units include.
#   bash scripts/compilar-libcxx.sh   (into build-libcxx/ and build-libcxx-fuzz/)
set -euo pipefail
cd "$(dirname "$0")/.."
raiz="$PWD"

comun=(-G Ninja -DCMAKE_CXX_COMPILER=clang++ "-DCMAKE_CXX_FLAGS=-stdlib=libc++ -Wall -Wextra -Werror"
    -DCMAKE_EXE_LINKER_FLAGS=-stdlib=libc++ -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DCMAKE_CXX_COMPILER_LAUNCHER= -DCMAKE_AUTOGEN_ORIGIN_DEPENDS=OFF)
cmake -S . -B build-libcxx "${comun[@]}" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake -S fuzz -B build-libcxx-fuzz "${comun[@]}" >/dev/null
# moc's output, which some units include. The build's own moc steps wait for
# programs to link, which cannot happen here, so moc runs as they would run it.
for info in build-libcxx/*/CMakeFiles/*_autogen.dir/AutogenInfo.json build-libcxx/CMakeFiles/*_autogen.dir/AutogenInfo.json; do
    [ ! -f "$info" ] || cmake -E cmake_autogen "$info" Debug
done

# One line per unit: its folder, then its command with -fsyntax-only in place of the object file.
python3 - "$raiz" build-libcxx/compile_commands.json build-libcxx-fuzz/compile_commands.json >build-libcxx/unidades <<'FIN'
import json, os, shlex, sys
raiz = sys.argv[1]
vistas = set()
for ruta in sys.argv[2:]:
    for u in json.load(open(ruta)):
        archivo = os.path.normpath(os.path.join(u["directory"], u["file"]))
        propio = os.path.relpath(archivo, raiz).split(os.sep)[0] in ("src", "tests", "fuzz")
        if not (propio or "_autogen" in archivo) or archivo in vistas:
            continue
        vistas.add(archivo)
        orden = shlex.split(u["command"])
        i = orden.index("-o")
        del orden[i:i + 2]
        print(json.dumps([u["directory"], orden + ["-fsyntax-only"]]))
FIN

unidades=$(wc -l <build-libcxx/unidades)
# shellcheck disable=SC2016  # the inner script expands its own argument
if ! xargs -d '\n' -P "$(nproc)" -n 1 python3 -c '
import json, subprocess, sys
carpeta, orden = json.loads(sys.argv[1])
sys.exit(subprocess.run(orden, cwd=carpeta).returncode)' <build-libcxx/unidades; then
    echo "clang with libc++ rejects the code above." >&2
    exit 1
fi
echo "clang with libc++: $unidades translation units compile, warnings as errors."
