#!/usr/bin/env bash
# Installs what the build and the tests need, with apt-get, skipping what is present.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git ccache
    qt6-base-dev libqscintilla2-qt6-dev libgl-dev
    libpcre2-dev libpugixml-dev libssl-dev
    libprotobuf-dev protobuf-compiler
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    clang-14 libclang-rt-14-dev
    g++-mingw-w64-x86-64 wine wine64
    xvfb xauth x11-utils imagemagick fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: everything present"
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
