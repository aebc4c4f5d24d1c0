#!/bin/sh
# vantrel-report --output run by root against a real disk: a loop device, and
# a link to it planted where the report should go. Both are refused and the
# image keeps every byte. The control writes the same report through the
# link the careless way (the shell's redirection, which follows it), so a
# check that could not see a change would fail here.
#   test-loop-device.sh VANTREL_REPORT CAPTURE
# Exit 77 (skipped) without root or loop devices, or without the real
# capture (a clone with no shared captures beside it), as the other tests
# that read them skip.
set -eu
program=$1
capture=$2
[ "$(id -u)" -eq 0 ] && command -v losetup >/dev/null || exit 77
[ -f "$capture" ] || { echo "skipped: $capture not found"; exit 77; }
dir=$(mktemp -d)
loop=
cleanup() {
    [ -z "$loop" ] || losetup -d "$loop"
    rm -rf "$dir"
}
trap cleanup EXIT
head -c 65536 /dev/urandom >"$dir/image"
cp "$dir/image" "$dir/original"
loop=$(losetup -f --show "$dir/image" 2>/dev/null) || exit 77
ln -s "$loop" "$dir/report.txt"

same() {
    cmp -s "$dir/original" "$loop"
}
fail() {
    echo "$*" >&2
    exit 1
}
status=0
"$program" --output "$loop" "$capture" 2>"$dir/err" || status=$?
[ $status -eq 4 ] || fail "--output $loop: exit $status"
grep -q "is a disk" "$dir/err" || fail "--output $loop: $(cat "$dir/err")"
same || fail "--output $loop changed the disk"
status=0
"$program" --output "$dir/report.txt" "$capture" 2>"$dir/err" || status=$?
[ $status -eq 4 ] || fail "--output through a link: exit $status"
grep -q "is a symbolic link" "$dir/err" || fail "--output through a link: $(cat "$dir/err")"
same || fail "--output through a link changed the disk"
[ -L "$dir/report.txt" ] || fail "the link was replaced"

# The control.
"$program" "$capture" >"$dir/report.txt"
sync
! same || fail "control: writing through the link left the disk as it was; the check sees nothing"
echo "loop device $loop: refused directly and through a link; the control changed it"
