#!/usr/bin/env bash
# Installs what the build and the tests need, with apt-get, skipping what is present.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git ccache
    qt6-base-dev qmake6 libqscintilla2-qt6-dev libgl-dev
    libpcre2-dev libpugixml-dev libssl-dev
    libprotobuf-dev protobuf-compiler
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    clang-14 libclang-rt-14-dev
    g++-mingw-w64-x86-64 wine wine64
    xvfb xauth x11-utils imagemagick fonts-dejavu-core
    openssl curl
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: every package present"
else
    echo "install-deps: installing ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Every program the build, the tests, the fuzz runs, the demo and the benchmarks call, with the
# package that brings it: a missing one is named here, before anything is built.
tools=(
    cmake:cmake ctest:cmake make:make g++:g++ pkg-config:pkg-config ccache:ccache
    protoc:protobuf-compiler clang-14:clang-14 clang++-14:clang-14
    x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64 x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64
    qmake6:qmake6
    wine:wine wineserver:wine64
    Xvfb:xvfb xvfb-run:xvfb xauth:xauth xdpyinfo:x11-utils xwininfo:x11-utils import:imagemagick
    openssl:openssl curl:curl
)
absent=()
for entry in "${tools[@]}"; do
    tool=${entry%%:*}
    command -v "$tool" >/dev/null 2>&1 || absent+=("$tool (package ${entry#*:})")
done
if [ ${#absent[@]} -ne 0 ]; then
    echo "install-deps: missing after the install: ${absent[*]}" >&2
    exit 1
fi
