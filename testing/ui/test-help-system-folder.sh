#!/usr/bin/env bash
# Help where the Windows folder has no help viewer, as on a 64-bit-only
# system, which keeps it in the system folder only: the program's help tests
# run in a scratch copy of the test prefix whose Windows folder's
# winhlp32.exe is deleted. (With 32-bit Wine installed even a 64-bit prefix
# has one there, so it is deleted whatever the prefix holds.) The copy's
# Wine server and the copy itself go when the test ends, however it ends.
#   testing/ui/test-help-system-folder.sh UI_TEST_EXE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
ui_test=$(realpath "$1")
: "${WINEPREFIX:?WINEPREFIX must be set}"
scratch=$(dirname "$ui_test")/wineprefix-no-viewer

end() {
    WINEPREFIX=$scratch timeout 30 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX=$scratch timeout 30 wineserver -w >/dev/null 2>&1 || true
    rm -rf "$scratch"
}
trap end EXIT
trap 'exit 143' TERM INT HUP

rm -rf "$scratch"
cp -a "$WINEPREFIX" "$scratch"
rm -f "$scratch/drive_c/windows/winhlp32.exe"
ls "$scratch"/drive_c/windows/*/winhlp32.exe >/dev/null 2>&1 ||
    { echo "test-help-system-folder.sh: the prefix has no winhlp32.exe in a system folder" >&2; exit 1; }
WINEPREFIX=$scratch "$here/../harness/wine-test-run.sh" "$ui_test" \
    --gtest_filter='ShellTest.Help*:ProgramTest.HelpOpensTheViewerOnTheContentsTopic'
