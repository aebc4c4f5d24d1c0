#!/usr/bin/env bash
# Runs the demo program under Wine on a virtual display, shows the second
# drive with Get Info, opens the About box, and saves PNG screenshots of
# both in build/screenshots/. Expects build/win64-run (scripts/run.sh builds
# it). Every wait is bounded; a failure says what failed, ends what this
# script started and exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/win64-run
out=build/screenshots
mkdir -p "$out"
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"

if [ -z "${VANTREL_ON_DISPLAY:-}" ]; then
    # Start over on a display of our own; it ends with this script.
    export VANTREL_ON_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

demo=""
finish() {
    local status=$?
    if [ $status -ne 0 ]; then
        # The demo, its desktop and whatever else runs in this prefix.
        [ -z "$demo" ] || kill "$demo" 2>/dev/null || true
        timeout 30 wineserver -k >/dev/null 2>&1 || true
    fi
    exit $status
}
trap finish EXIT
trap 'exit 143' TERM INT HUP
fail() {
    echo "screenshots.sh: $*" >&2
    exit 1
}

scripts/wine-prefix.sh
# Wine's virtual desktop draws the window's caption as Windows would. The
# remote control joins that desktop by itself and waits (bounded) for the
# window, however long this start takes.
wine explorer /desktop=Vantrel,760x600 "$build/ui/vantrel-demo.exe" >/dev/null 2>&1 &
demo=$!
remote() {
    timeout 180 wine "$build/testing/ui-remote/ui-remote.exe" --desktop Vantrel "$@" || fail "ui-remote $* failed"
}
shoot() {
    sleep 2  # the window repaints
    timeout 30 import -window root -crop 760x600+0+0 "$out/$1" || fail "cannot save $out/$1"
}
remote select 1
remote getinfo
shoot main-window.png
remote about
shoot about-box.png
remote close-about
remote exit
for _ in $(seq 60); do
    kill -0 "$demo" 2>/dev/null || break
    sleep 0.5
done
! kill -0 "$demo" 2>/dev/null || fail "the demo still runs 30 s after Exit"
wait "$demo" || true
timeout 60 wineserver -w || fail "Wine's server still runs 60 s after the demo ended"
echo "Screenshots: $out/main-window.png $out/about-box.png"
