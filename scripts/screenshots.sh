#!/usr/bin/env bash
# Runs the demo program under Wine on a virtual display, shows the second
# drive with Get Info, opens the About box, and saves PNG screenshots of
# both in screenshots/. Expects build/win64-run (scripts/run.sh builds it).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/win64-run
out=build/screenshots
mkdir -p "$out"
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"

if [ -z "${VANTREL_ON_DISPLAY:-}" ]; then
    # Start over on a display of our own.
    export VANTREL_ON_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 || true
# Wine's virtual desktop draws the window's caption as Windows would.
wine explorer /desktop=Vantrel,760x600 "$build/ui/vantrel-demo.exe" >/dev/null 2>&1 &
# The remote control must run on the same desktop to find the window.
remote="wine explorer /desktop=Vantrel,760x600 $build/tools/ui-remote/ui-remote.exe"
$remote select 1
$remote getinfo
sleep 2
import -window root -crop 760x600+0+0 "$out/main-window.png"
$remote about
sleep 2
import -window root -crop 760x600+0+0 "$out/about-box.png"
$remote close-about
$remote exit
wait
echo "Screenshots: $out/main-window.png $out/about-box.png"
