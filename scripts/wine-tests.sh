#!/usr/bin/env bash
# Cross-builds the Qt-free folders, the Win32 backend and the program's Windows resources with
# mingw-w64 and runs their tests under Wine in a throw-away prefix; the same CTest run compiles the
# Qt folders' sources syntax-only for Windows (scripts/windows-syntax-check.sh). Exits with CTest's
# status.
# Needs what scripts/install-deps.sh installs (cmake, g++-mingw-w64-x86-64, wine, wine64; xvfb for
# the window tests).
set -u
cd "$(dirname "$0")/.." || exit 1

BUILD=build-win

if [ "${VORNIX_WINE_TESTS_STAGE:-}" != run ]; then
    for tool in x86_64-w64-mingw32-g++-posix wine wineserver cmake ctest; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "wine-tests: '$tool' not found (scripts/install-deps.sh installs it)" >&2
            exit 1
        fi
    done
    configure() { cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-wine.cmake -DVORNIX_WERROR=ON; }
    # A folder configured with another toolchain file cannot be reconfigured: start it afresh.
    if ! configure; then
        echo "wine-tests: configuring $BUILD afresh"
        rm -rf "$BUILD"
        configure || exit 1
    fi
    cmake --build "$BUILD" -j2 || exit 1

    # A private X server lets the window tests run; without one they are skipped.
    if command -v xvfb-run >/dev/null 2>&1 && command -v xauth >/dev/null 2>&1; then
        VORNIX_WINE_TESTS_STAGE=run xvfb-run -a "$0"
        exit $?
    fi
    echo "wine-tests: no xvfb-run; window tests will be skipped"
    unset DISPLAY WAYLAND_DISPLAY
fi

WINEPREFIX=$(mktemp -d /tmp/vornix-wine-XXXXXX) || exit 1
export WINEPREFIX WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT INT TERM

# The first run makes the prefix; what Wine prints on the way is noise, its status too.
echo "wine-tests: creating the Wine prefix $WINEPREFIX"
wine wineboot --init >/dev/null 2>&1 </dev/null || true
# Let that first session end completely: a service manager still winding down would answer
# beside the next one, each knowing only its own services.
wineserver -w >/dev/null 2>&1

ctest --test-dir "$BUILD" --output-on-failure </dev/null
status=$?
exit $status
