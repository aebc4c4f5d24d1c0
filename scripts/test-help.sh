#!/usr/bin/env bash
# Opens VANTREL.HLP in Wine's help viewer (winhlp32) and checks, from the
# viewer's own trace and what it shows, that it read every topic of
# help/vantrel-help.txt under its title, starts on the contents topic, and
# that every jump of the contents topic and every index entry lands on its
# topic. Leaves the trace, the walk and a screenshot in BUILD/help-test/.
#   scripts/test-help.sh BUILD    (a Windows build: ui/VANTREL.HLP, testing/ui-remote)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
source=$PWD/help/vantrel-help.txt
build=$(realpath "$1")
out=$build/help-test
mkdir -p "$out"
: >"$out/wine.log"
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
export WINEDEBUG=-all

# What the text says: titles in order, the contents topic's jumps, the index.
mapfile -t titles < <(sed -n 's/^@topic [^ ]* *//p' "$source")
title_of() { awk -v id="$1" '$1 == "@topic" && $2 == id { $1 = $2 = ""; sub(/^ +/, ""); print }' "$source"; }
contents=$(awk '/^@topic/ { n++ } n == 1' "$source")
expected=()
while IFS='|' read -r id text; do
    expected+=("jump $text -> $(title_of "$id")")
done < <(grep -o '\[\[[^]]*\]\]' <<<"$contents" | sed 's/^\[\[//; s/\]\]$//')
jumps=("${expected[@]#jump }")
jumps=("${jumps[@]% -> *}")
while IFS= read -r line; do
    expected+=("$line")
done < <(awk '$1 == "@topic" { $1 = $2 = ""; sub(/^ +/, ""); title = $0 }
              $1 == "@keywords" { sub(/^@keywords +/, ""); n = split($0, k, ";")
                                  for (i = 1; i <= n; i++) { gsub(/^ +| +$/, "", k[i]); print "keyword " k[i] " -> " title } }' "$source")

# Without a window manager, Wine waits two seconds for each closed window
# that it let one manage; the Index sheet closes once per entry.
timeout 60 wine reg add 'HKCU\Software\Wine\AppDefaults\winhlp32.exe\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# Run after other Wine tests, a program started while Wine's server is still
# ending once failed to load and went to Wine's launcher, which could not
# start it either. Start on a server with nothing else to do; a test
# session's server (testing/harness/run-wine-suite.sh) stays up and never ends.
[ -n "${VANTREL_WINE_SESSION:-}" ] || timeout 60 wineserver -w || true
# The viewer, the remote and whatever Wine starts for them write their
# standard error to files: a process left behind must not hold the caller's.
(cd "$build/ui" && WINEDEBUG=+winhelp exec timeout 300 wine winhlp32.exe VANTREL.HLP) 2>"$out/winhlp32.log" &
viewer=$!
# A viewer that did not close would hold the test until its timeout.
trap 'kill $viewer 2>/dev/null || true' EXIT
status=0
timeout 240 wine "$build/testing/ui-remote/ui-remote.exe" help-walk "${jumps[@]}" >"$out/walk.txt" \
    2>>"$out/wine.log" || status=1
import -window root -crop 768x576+0+0 "$out/help-window.png" || true
timeout 60 wine "$build/testing/ui-remote/ui-remote.exe" close-help 2>>"$out/wine.log" || fail_close=1
[ -z "${fail_close:-}" ] || kill $viewer 2>/dev/null || true
wait $viewer || true
tr -d '\r' <"$out/walk.txt" >"$out/walk.lf"

fail() { echo "help: $*" >&2; status=1; }
[ -z "${fail_close:-}" ] || fail "ui-remote could not close the viewer"
log=$out/winhlp32.log
read_titles=$(sed -n 's/.*Added page\[[0-9]*\]: title="\(.*\)" .* << .*/\1/p' "$log" | grep -v '^$' || true)
[ "$read_titles" = "$(printf '%s\n' "${titles[@]}")" ] || fail "the viewer read other topics: $read_titles"
start=$(sed -n 's/.*Setting contents start at \([0-9a-f]*\).*/\1/p' "$log")
grep -Fq "title=\"${titles[0]}\" ffffffff << $start >>" "$log" ||
    fail "the contents start ($start) is not the topic ${titles[0]}"
! grep ':err:winhelp:' "$log" >&2 || fail "the viewer reported errors"
diff <(printf '%s\n' "${expected[@]}" | sort) <(sort "$out/walk.lf") >&2 ||
    fail "jumps or index entries landed elsewhere (< expected, > shown)"
[ $status -eq 0 ] && echo "help: ${#titles[@]} topics, $(grep -c '^jump' "$out/walk.lf") jumps," \
    "$(grep -c '^keyword' "$out/walk.lf") index entries as written"
exit $status
