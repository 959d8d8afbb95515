#!/bin/sh
# Runs one cross-built Windows program under Wine; CTest calls this for every test.
# WINEPREFIX comes from scripts/wine-tests.sh; a hand-run ctest gets a per-user prefix.
export WINEDEBUG=-all
# No Mono or Gecko install prompts when a fresh prefix is made headless.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEPREFIX="${WINEPREFIX:-/tmp/vornix-wine-$(id -u)}"
exec wine "$@"
