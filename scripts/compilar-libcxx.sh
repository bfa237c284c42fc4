#!/usr/bin/env bash
# Compiles every translation unit of src/, tests/ and fuzz/ as a Mac's
# toolchain does: clang with LLVM's libc++, warnings as errors. A standard
# library feature that Apple's libc++ lacks fails here, not on a builder's Mac.
# Then compiles src/ once more as a Mac chooses its branches: __APPLE__ and
# __MACH__ defined (so Qt defines its Apple macros), Linux's macros gone, the
# plain loops that Apple silicon runs in place of SSE2, and the SDK's headers
# stood in for by scripts/sdk-mac/. A header the macOS SDK lacks (OpenSSL, the
# Linux kernel's) stops the unit that includes it with one line.
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
cmake -S . -B build-libcxx "${comun[@]}" -DCMAKE_BUILD_TYPE=Debug -DVARNO_TESTS=ON >/dev/null
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

# Compiles each unit of the list in $1, each with the further flags after it.
compilar() {
    local lista=$1
    shift
    # shellcheck disable=SC2016  # the inner script expands its own argument
    xargs -d '\n' -P "$(nproc)" -I '{}' python3 -c '
import json, subprocess, sys
carpeta, orden = json.loads(sys.argv[1])
sys.exit(subprocess.run(orden + sys.argv[2:], cwd=carpeta).returncode)' '{}' "$@" <"$lista"
}

unidades=$(wc -l <build-libcxx/unidades)
if ! compilar build-libcxx/unidades; then
    echo "clang with libc++ rejects the code above." >&2
    exit 1
fi
echo "clang with libc++: $unidades translation units compile, warnings as errors."

# Headers found here that a Mac does not have: each one, where a unit asks for
# it, is an error line naming it.
ajenos=build-libcxx/ajenos
rm -rf "$ajenos"
mkdir -p "$ajenos/sys"
for carpeta in /usr/include/openssl /usr/include/*-linux-gnu/openssl; do
    [ -d "$carpeta" ] || continue
    nombre=${carpeta##*/}
    mkdir -p "$ajenos/$nombre"
    for h in "$carpeta"/*.h; do
        echo "#error \"$nombre/${h##*/} is not in the macOS SDK\"" >"$ajenos/$nombre/${h##*/}"
    done
done
for h in sys/prctl.h sys/epoll.h sys/inotify.h sys/signalfd.h sys/eventfd.h sys/timerfd.h \
    sys/sendfile.h sys/sysinfo.h sys/vfs.h sys/statfs.h sys/fsuid.h sys/personality.h sys/auxv.h \
    malloc.h mntent.h byteswap.h error.h argp.h; do
    echo "#error \"$h is not in the macOS SDK\"" >"$ajenos/$h"
done

# Only the program's own units (its moc output too): the tests and fuzz targets
# run here, never on a Mac.
grep -E "\"-c\", \"$raiz/(build-libcxx/)?src/" build-libcxx/unidades >build-libcxx/unidades-mac
mac=(-D__APPLE__=1 -D__MACH__=1 -D__ENVIRONMENT_MAC_OS_X_VERSION_MIN_REQUIRED__=110000
    -U__linux__ -U__linux -Ulinux -U__gnu_linux__ -U__unix__ -U__unix -Uunix -U__SSE2__ -Wfatal-errors
    -isystem "$raiz/scripts/sdk-mac" -isystem "$raiz/$ajenos")
if ! compilar build-libcxx/unidades-mac "${mac[@]}"; then
    echo "The code above does not compile as a Mac would build it." >&2
    exit 1
fi
echo "As a Mac builds it: $(wc -l <build-libcxx/unidades-mac) translation units of src/ compile, warnings as errors."

# Qt's macros for the system, as the oldest Qt VARNO builds with defines them:
# one it does not know is never defined, and its branch silently never taken.
qt_sistema=$(find /usr/include -path '*qt6/QtCore/qsystemdetection.h' -print -quit)
desconocidos=$(grep -rhoE '\bQ_OS_[A-Z0-9_]+' src | sort -u | while read -r m; do
    grep -qw "$m" "$qt_sistema" || echo "$m"
done)
if [ -n "$desconocidos" ]; then
    echo "Qt 6.4 does not define $(echo "$desconocidos" | tr '\n' ' ')(see $qt_sistema)." >&2
    exit 1
fi
