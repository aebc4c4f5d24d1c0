#!/usr/bin/env bash
# Sets up the Wine prefix in $WINEPREFIX (made on the first run, brought up to
# date after a Wine upgrade) and waits until Wine's server has ended, so that
# no program is started while Wine is still busy with itself. A new prefix
# takes Wine tens of seconds on a slow machine. Without Mono and Gecko it
# asks no questions. Bounded; says what failed and exits non-zero.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must be set}"
export WINEDEBUG="${WINEDEBUG:--all}"

[ -f "$WINEPREFIX/system.reg" ] || echo "Setting up the Wine prefix $WINEPREFIX (first run only)"
if ! WINEDLLOVERRIDES="mscoree,mshtml=" timeout 300 wineboot -i >/dev/null 2>&1; then
    echo "wine-prefix.sh: wineboot -i failed or took over 300 s ($WINEPREFIX)" >&2
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    exit 1
fi
if ! timeout 120 wineserver -w; then
    echo "wine-prefix.sh: Wine's server still runs 120 s after wineboot ($WINEPREFIX)" >&2
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    exit 1
fi
