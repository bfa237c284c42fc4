#!/usr/bin/env bash
# Installs what VARNO needs on Debian 12 and builds it into build/.
# Safe to run again: it installs only what is missing and builds incrementally.
set -euo pipefail
cd "$(dirname "$0")/.."

paquetes=(
    g++ cmake ninja-build pkg-config ccache
    qt6-base-dev qt6-qpa-plugins libgl-dev zlib1g-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    fonts-inter
    xvfb xauth xdotool x11-apps imagemagick
    libssl-dev curl python3 python3-venv python3-setuptools python3-wheel shellcheck clang libclang-rt-14-dev llvm-14 hyperfine time strace
    libc++-dev libc++abi-dev bison clang-format
    attr desktop-file-utils
    at-spi2-core dbus dbus-x11 python3-pyatspi
)

faltan=()
for p in "${paquetes[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || faltan+=("$p")
done
if ((${#faltan[@]})); then
    como=()
    [ "$(id -u)" -eq 0 ] || como=(sudo)
    "${como[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${como[@]}" apt-get install -y -q --no-install-recommends "${faltan[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNO_WERROR=ON -DVARNO_TESTS=ON >/dev/null
cmake --build build
