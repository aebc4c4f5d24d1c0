#!/usr/bin/env bash
# Builds the demo program (the Windows program on its built-in sample drives:
# two drives of one model, the second worn, an empty position, a drive
# without SMART data) and opens it under Wine. Without a display it runs it
# on a virtual one, saves screenshots and prints where they are, and prints
# the same drives' report as vantrel-report writes it. Any step that fails
# says so and ends the script with a non-zero status.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
export WINEDEBUG=-all
export WINEPREFIX="$PWD/build/wineprefix"

echo "Building the demo program..."
cmake -S . -B build/win64-run -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DVANTREL_BUILD_TESTS=OFF >/dev/null
cmake --build build/win64-run -j 2 --target vantrel-demo ui-remote >/dev/null

if [ -n "${DISPLAY:-}" ]; then
    scripts/wine-prefix.sh
    exec wine build/win64-run/ui/vantrel-demo.exe
fi

scripts/screenshots.sh
# A folder of its own without the tests, which need GoogleTest: the test
# command's build/native keeps them.
cmake -S . -B build/native-run -DVANTREL_BUILD_TESTS=OFF >/dev/null
cmake --build build/native-run -j 2 --target vantrel-report >/dev/null
samples=(samples/CORVANE_CV-8040A--healthy.smart - samples/CORVANE_CV-8040A--worn.smart
         samples/CORVANE_CV-2010L--no-smart.smart)
echo
echo "The same drives as vantrel-report writes them:"
build/native-run/cli/vantrel-report "${samples[@]}" | tr -d '\r'
