#!/usr/bin/env bash
# What the executables cost; not a timed test, it only prints. Run after
# scripts/test.sh (or any build of build/native, build/win64, build/win32):
#   - the size of the six product executables, against 64 KB for vantrel.exe,
#     128 KB for vantrel-demo.exe and 256 KB for vantrel-report.exe (its
#     attribute table and the logs it decodes are data the window has not);
#   - for each real drive capture, vantrel-report's instructions (callgrind,
#     the whole process, loader included) and its peak resident memory, against
#     0.4 M instructions and 1 MB;
#   - the instructions of --json and --prometheus against the text report,
#     for one capture and for four, against 1.2 times the text's;
#   - one NVMe capture's text and --json against one ATA capture's (1.2 times
#     at most), and eight captures against one (8 times at most).
# Instruction counts repeat exactly for the same binary and input, whatever
# else the machine is doing; peak memory varies by a few pages.
#   benchmark.sh --sizes   the sizes only, failing when one is over its goal
#                          (scripts/test.sh runs this)
set -euo pipefail
cd "$(dirname "$0")/.."
captures=${VANTREL_CAPTURES:-../shared/captures}
report=build/native/cli/vantrel-report

echo "== product executables (bytes)"
over=0
for build in win64 win32; do
    for program in vantrel vantrel-demo vantrel-report; do
        exe=build/$build/ui/$program.exe
        [ "$program" = vantrel-report ] && exe=build/$build/cli/$program.exe
        case $program in
            vantrel) limit=65536 ;;
            vantrel-demo) limit=131072 ;;
            *) limit=262144 ;;
        esac
        if [ -f "$exe" ]; then
            size=$(stat -c %s "$exe")
            verdict=$([ "$size" -le "$limit" ] && echo "within $limit" || echo "OVER $limit")
            [ "$size" -le "$limit" ] || over=1
            printf '%-32s %8d  %s\n' "$exe" "$size" "$verdict"
        else
            printf '%-32s %8s\n' "$exe" "not built"
            over=1
        fi
    done
done
if [ "${1:-}" = --sizes ]; then
    exit "$over"
fi

echo
echo "== vantrel-report, one capture per run"
if [ ! -x "$report" ] || ! command -v valgrind >/dev/null || [ ! -x /usr/bin/time ]; then
    echo "needs $report, valgrind and /usr/bin/time (Debian: valgrind, time)"
    exit 1
fi
if ! ls "$captures"/*.smart >/dev/null 2>&1; then
    echo "no captures in $captures"
    exit 1
fi
printf '%-44s %12s %10s\n' capture instructions "peak KB"
for capture in "$captures"/*.smart; do
    instructions=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$report" "$capture" \
        2>&1 >/dev/null | sed -n 's/.*Collected : //p')
    # The highest of three runs: where the code lands at random moves the
    # peak by some pages from one run to the next.
    peak=0
    for _ in 1 2 3; do
        run=$(/usr/bin/time -f %M "$report" "$capture" 2>&1 >/dev/null | tail -n 1)
        [ "$run" -gt "$peak" ] && peak=$run
    done
    mark=$([ "$instructions" -le 400000 ] && [ "$peak" -le 1024 ] || echo '!')
    printf '%-44s %12s %10s %s\n' "$(basename "$capture")" "$instructions" "$peak" "$mark"
done
echo "(! marks a drive over 0.4 M instructions or 1 MB at its peak)"

instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$report" "$@" 2>&1 >/dev/null |
        sed -n 's/.*Collected : //p'
}
echo
echo "== the machine-readable outputs against the text report (instructions)"
one=$(ls "$captures"/*.smart | head -n 1)
four=$(ls "$captures"/*.smart | head -n 4 | tr '\n' ' ')
printf '%-12s %12s %12s %7s %12s %7s\n' captures text --json ratio --prometheus ratio
for set in one four; do
    # shellcheck disable=SC2086  # four file names, split on purpose
    files=$([ $set = one ] && echo "$one" || echo $four)
    # shellcheck disable=SC2086
    text=$(instructions $files)
    # shellcheck disable=SC2086
    json=$(instructions --json $files)
    # shellcheck disable=SC2086
    prom=$(instructions --prometheus $files)
    ratio() { awk -v a="$1" -v b="$text" 'BEGIN { r = a / b; printf "%.2f%s", r, r <= 1.2 ? "" : "!" }'; }
    printf '%-12s %12s %12s %7s %12s %7s\n' "$set" "$text" "$json" "$(ratio "$json")" \
        "$prom" "$(ratio "$prom")"
done
echo "(! marks a ratio over 1.2)"

nvme=$(ls "$captures"/nvme/*.smart 2>/dev/null | head -n 1 || true)
if [ -z "$nvme" ]; then
    echo "no NVMe captures in $captures/nvme"
    exit 0
fi
echo
echo "== an NVMe drive against an ATA drive, eight drives against one (instructions)"
printf '%-12s %12s %12s %7s %12s %7s\n' output ATA NVMe ratio "8 x NVMe" ratio
for mode in text --json; do
    option=$([ $mode = text ] || echo $mode)
    # shellcheck disable=SC2086  # no option for the text report
    a=$(instructions $option "$one")
    # shellcheck disable=SC2086
    n=$(instructions $option "$nvme")
    # shellcheck disable=SC2086
    eight=$(instructions $option "$nvme" "$nvme" "$nvme" "$nvme" "$nvme" "$nvme" "$nvme" "$nvme")
    printf '%-12s %12s %12s %7s %12s %7s\n' "$mode" "$a" "$n" \
        "$(awk -v a="$n" -v b="$a" 'BEGIN { r = a / b; printf "%.2f%s", r, r <= 1.2 ? "" : "!" }')" \
        "$eight" \
        "$(awk -v a="$eight" -v b="$n" 'BEGIN { r = a / b; printf "%.2f%s", r, r <= 8 ? "" : "!" }')"
done
echo "(! marks a ratio over its goal: 1.2 for NVMe against ATA, 8 for eight drives)"
