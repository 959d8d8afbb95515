#!/usr/bin/env bash
# Creates a sample installation, starts its simulated services and opens the control panel
# on it. Without a display it runs under Xvfb, saves a screenshot once the window has settled,
# prints where, and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
SIM="$BUILD/tools/corvane-sim/corvane-sim"
PANEL="$BUILD/app/VornixControlPanel"
OUT="$PWD/out"
SANDBOX="$OUT/demo-sandbox"
SHOT="$OUT/demo-screenshot.png"
SETTLE=${VORNIX_DEMO_SETTLE:-8}

# Ends the processes whose executable or working folder lies inside the folder, and only
# those: another sandbox's service (a test run, a second demo) is left alone.
end_processes_in() {
    local dir exe cwd p
    dir=$(realpath "$1")
    for p in /proc/[0-9]*; do
        exe=$(readlink "$p/exe" 2>/dev/null) || exe=
        cwd=$(readlink "$p/cwd" 2>/dev/null) || cwd=
        case "$exe/|$cwd/" in
        "$dir"/*|*"|$dir"/*) kill -KILL "${p#/proc/}" 2>/dev/null || true ;;
        esac
    done
}

mkdir -p "$OUT"
# A sandbox's service may still run from an earlier demo.
if [ -d "$SANDBOX" ]; then
    VORNIX_SANDBOX="$SANDBOX" QT_QPA_PLATFORM=offscreen "$PANEL" /Stop || true
    end_processes_in "$SANDBOX"
    rm -rf "$SANDBOX"
fi
"$SIM" init "$SANDBOX" >/dev/null
export VORNIX_SANDBOX="$SANDBOX"
# Tools started by bare name (appsetup.exe, Notify.exe) are found on the search path.
export PATH="$SANDBOX/bin:$PATH"
# An administrator who left the window expanded last time, with the Product Setup section on.
mkdir -p "$SANDBOX/AppData/Roaming/Vekta"
cat >"$SANDBOX/AppData/Roaming/Vekta/VornixControlPanel_Settings.xml" <<'XML'
<?xml version="1.0"?>
<VornixControlPanel Left="20" Top="20" Width="921" Height="825" Maximized="false" RunNotify="false" Extended="true" Target="E:" Source="C:;D:" ProductSetup="true"/>
XML

pids=()
cleanup() {
    QT_QPA_PLATFORM=offscreen "$PANEL" /Stop >/dev/null 2>&1 || true
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    end_processes_in "$SANDBOX"
}
trap cleanup EXIT

"$SIM" logservice --sandbox "$SANDBOX" >"$OUT/logservice.log" 2>&1 &
pids+=($!)
# The system runs when the window opens, started the way an administrator's script would.
QT_QPA_PLATFORM=offscreen "$PANEL" /Start

if [ -n "${DISPLAY:-}" ]; then
    echo "demo: sandbox $SANDBOX; tools started from the links are recorded in $SANDBOX/sim/launches.log"
    "$PANEL"
    exit 0
fi

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x900x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$PANEL" >"$OUT/panel.log" 2>&1 &
panel=$!
pids+=($panel)
sleep "$SETTLE"
# The root image cropped to the window's frame (without a window manager there is no frame).
geometry=$(xwininfo -root -tree | grep '"Vornix Control Panel"' |
    grep -oE '[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+ +\+-?[0-9]+\+-?[0-9]+' |
    awk '{split($1, s, /[x+]/); split($2, p, /\+/); print s[1]*s[2], s[1] "x" s[2] "+" p[2] "+" p[3]}' |
    sort -n | tail -1 | cut -d' ' -f2)
if [ -n "$geometry" ]; then
    import -window root -crop "$geometry" +repage "$SHOT"
else
    import -window root "$SHOT"
fi
kill "$panel" 2>/dev/null || true
wait "$panel" 2>/dev/null || true
echo "demo: screenshot saved to $SHOT"
# The window in the other states worth showing, one picture each (out/demo-NAME.png).
"$BUILD/tools/demo-shots/vornix-demo-shots" "$OUT" 2>>"$OUT/panel.log"
echo "demo: the sample installation is $SANDBOX; tools started from the window's links are recorded in $SANDBOX/sim/launches.log"
if [ "$(id -u)" -ne 0 ]; then
    echo "demo: not run as root, so the simulated kernel processes run under your account and count as client processes"
fi
