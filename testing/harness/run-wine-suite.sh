#!/usr/bin/env bash
# Runs one Windows build's ctest suite under Wine, on a virtual display of
# its own. Wine's server and the prefix's services (services.exe,
# winedevice.exe, rpcss) are started here first, with their output in
# BUILD/wine-session.log, so that none of them holds ctest's output; the
# server stays up for the whole suite and is ended, bounded, when the suite
# ends, however it ends, with whatever still runs in the prefix.
#   testing/harness/run-wine-suite.sh BUILD [ctest options]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "$1")
shift
: "${WINEPREFIX:?WINEPREFIX must be set}"
export WINEDEBUG="${WINEDEBUG:--all}"

if [ -z "${VANTREL_ON_DISPLAY:-}" ]; then
    export VANTREL_ON_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$@"
fi

end_wine() {
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
}
trap end_wine EXIT
trap 'exit 143' TERM INT HUP

session_log=$build/wine-session.log
scripts/wine-prefix.sh
: >"$session_log"
timeout 30 wineserver -p >>"$session_log" 2>&1
if ! timeout 120 wine wineboot >>"$session_log" 2>&1; then
    echo "run-wine-suite.sh: Wine's session did not start; its log:" >&2
    cat "$session_log" >&2
    exit 1
fi
# Without a window manager on the virtual display, Wine waits two seconds
# for every hidden or closed window that it let one manage: nearly all of
# the window tests' time. Windows it draws itself are not waited for.
if ! timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$session_log" 2>&1; then
    echo "run-wine-suite.sh: could not set Wine's window management; its log:" >&2
    cat "$session_log" >&2
    exit 1
fi
export VANTREL_WINE_SESSION=1
(cd "$build" && ctest --output-on-failure "$@")
