#!/usr/bin/env bash
# Compiles every source of the Qt folders (shell/, editor/, app/) syntax-only with the mingw-w64
# compiler, against this machine's Qt 6 and QScintilla headers, so the window's Windows code
# (`#ifdef _WIN32`) is compiled on every test run although no Windows build of Qt exists here.
# The Qt headers are the same on every platform; only their export macros carry attributes
# mingw ignores, hence -Wno-attributes and nothing else off.
#
# Usage: windows-syntax-check.sh COMPILER [FLAG...]
#   COMPILER  the cross-build's C++ compiler (x86_64-w64-mingw32-g++-posix)
#   FLAG      the cross-build's definitions (-DUNICODE ...), passed on unchanged
# The cross-build registers this as a test with its own compiler and definitions.
set -u
cd "$(dirname "$0")/.." || exit 1

if [ $# -lt 1 ]; then
    echo "usage: $0 COMPILER [FLAG...]" >&2
    exit 2
fi
compiler=$1
shift
if ! command -v "$compiler" >/dev/null 2>&1; then
    echo "windows-syntax-check: '$compiler' not found (scripts/install-deps.sh installs it)" >&2
    exit 1
fi

qt_headers=""
if command -v qmake6 >/dev/null 2>&1; then
    qt_headers=$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null)
fi
if [ -z "$qt_headers" ] || [ ! -f "$qt_headers/QtWidgets/QWidget" ]; then
    echo "windows-syntax-check: no Qt 6 headers (qt6-base-dev; scripts/install-deps.sh installs it)" >&2
    exit 1
fi
if [ ! -f "$qt_headers/Qsci/qsciscintillabase.h" ]; then
    echo "windows-syntax-check: no QScintilla headers in $qt_headers/Qsci (libqscintilla2-qt6-dev)" >&2
    exit 1
fi

# The system include folder holds the build machine's C library too; offer the compiler only the
# few third-party headers the Qt folders use, through a folder of links.
extra=$(mktemp -d /tmp/vornix-syntax-XXXXXX) || exit 1
trap 'rm -rf "$extra"' EXIT
for header in pugixml.hpp pugiconfig.hpp pcre2.h; do
    if [ -f "/usr/include/$header" ]; then
        ln -s "/usr/include/$header" "$extra/$header"
    fi
done

flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Werror -Wno-attributes "$@"
       -I. -I"$qt_headers" -I"$extra")
for module in QtCore QtGui QtWidgets QtPrintSupport; do
    flags+=(-I"$qt_headers/$module")
done

mapfile -t sources < <(find shell editor app -name '*.cpp' 2>/dev/null | LC_ALL=C sort)
if [ ${#sources[@]} -eq 0 ]; then
    echo "windows-syntax-check: no sources found" >&2
    exit 1
fi

logs="$extra/logs"
mkdir -p "$logs"
# Arrays do not cross into the children of xargs; hand the flags over one per line.
printf '%s\n' "${flags[@]}" >"$extra/flags"
check_one() { # source: leaves a log only when the compile fails
    local log="$logs/${1//\//_}.log" flags
    mapfile -t flags <"$flagfile"
    "$compiler" "${flags[@]}" "$1" >"$log" 2>&1 && rm -f "$log"
    return 0
}
export -f check_one
export compiler logs flagfile="$extra/flags"
printf '%s\n' "${sources[@]}" |
    xargs -P "$(nproc 2>/dev/null || echo 2)" -I{} bash -c 'check_one "$1"' _ {}

failed=0
for source in "${sources[@]}"; do
    log="$logs/${source//\//_}.log"
    if [ -f "$log" ]; then
        failed=$((failed + 1))
        echo "FAILED  $source"
        cat "$log"
    fi
done
echo "windows-syntax-check: ${#sources[@]} sources of shell/, editor/, app/; $failed failed"
[ "$failed" -eq 0 ]
