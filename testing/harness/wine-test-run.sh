#!/bin/sh
# Runs one Windows program under Wine for a test: ctest's emulator.
# A Wine process hands its Unix standard error to every process it starts,
# Wine's own services included, and those may outlive it. Were that ctest's
# pipe, ctest would wait on a stray process with no end in sight. So the
# program's standard error goes to a file, printed once the program has
# ended; its standard output is ctest's as before.
log=$(mktemp "${TMPDIR:-/tmp}/wine-test-run.XXXXXX") || exit 1
child=""
trap 'rm -f "$log"' EXIT
trap '[ -z "$child" ] || kill "$child" 2>/dev/null; exit 143' TERM INT HUP
wine "$@" 2>"$log" &
child=$!
wait "$child"
status=$?
cat "$log" >&2
exit $status
