#!/usr/bin/env bash
# Builds everything and runs every test: the native build, then the Windows
# builds, x86_64 and i686, whose tests run under 64- and 32-bit Wine.
# Where 32-bit Wine (Debian's wine32:i386) could not be installed, the i686
# programs are still built, checked and packed, only not run; the last line
# then says so and why. Nothing else may be skipped.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
export VANTREL_DEPS_INSTALLED=1

jobs=2
export WINEDEBUG=-all
export WINEPREFIX="$PWD/build/wineprefix"
skipped=()

# Nothing that a suite started in Wine outlives it, nor this script.
end_wine() {
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
}
trap end_wine EXIT

# Whether 32-bit Wine is here, asked of dpkg when it matters; if not, why,
# in apt's words.
wine32_missing() {
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' &&
        return 1
    local reason
    reason=$(apt-get install -s --no-install-recommends wine32:i386 2>&1 | grep -m1 '^E: ' || true)
    echo "${reason#E: }"
}

echo "== native"
cmake -S . -B build/native
cmake --build build/native -j "$jobs"
testing/harness/check-test-timeouts.sh build/native
(cd build/native && ctest --output-on-failure)
scripts/test-qemu.sh  # the Linux backend against QEMU's IDE and AHCI disks

echo "== the README's run command, headless, on a new Wine prefix"
# As a new user's first run: no display, no prefix; bounded in time.
end_wine
rm -rf "$WINEPREFIX" build/screenshots
if ! env -u DISPLAY timeout -k 10 600 scripts/run.sh >build/run.log 2>&1; then
    cat build/run.log
    echo "scripts/run.sh failed or ran over 600 s" >&2
    exit 1
fi
end_wine
for shot in main-window about-box; do
    [ "$(identify -format '%m %wx%h' "build/screenshots/$shot.png" 2>/dev/null)" = "PNG 760x600" ] ||
        { cat build/run.log; echo "scripts/run.sh saved no $shot.png" >&2; exit 1; }
done
grep -q "^Model Number: CORVANE CV-8040A$" build/run.log ||
    { cat build/run.log; echo "scripts/run.sh printed no report" >&2; exit 1; }

echo "== Windows x86_64 (tests under Wine)"
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
cmake --build build/win64 -j "$jobs"
testing/harness/check-test-timeouts.sh build/win64
testing/harness/run-wine-suite.sh build/win64
end_wine

echo "== Windows i686 (tests under 32-bit Wine)"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
cmake --build build/win32 -j "$jobs"
testing/harness/check-test-timeouts.sh build/win32
win32=build/win32
if reason=$(wine32_missing); then
    skipped+=("i686 under Wine (wine32:i386 could not be installed: ${reason:-not installed})")
    win32=""
    echo "not run: no 32-bit Wine"
else
    testing/harness/run-wine-suite.sh build/win32
    end_wine
fi

echo "== the product end to end on a SMART driver in Wine's kernel"
# Its own commands each have a limit; this bounds the whole, and the script
# ends Wine's session on the way out.
xvfb-run -a -s "-screen 0 1024x768x24" \
    timeout -k 10 1200 python3 scripts/test-wine-driver.py "$PWD" build/native build/win64 $win32
end_wine

scripts/check-imports.sh build/win64 build/win32
scripts/benchmark.sh --sizes

echo "== Download packages (programs, help file, README.TXT)"
for build in build/win64 build/win32; do
    (cd "$build" && rm -f vantrel-*.zip && cpack >/dev/null)
    zip=$(ls "$build"/vantrel-*.zip)
    files=$(cmake -E tar tf "$zip" | sed -n 's|^[^/]*/\([^/]\{1,\}\)$|\1|p' | LC_ALL=C sort | tr '\n' ' ')
    [ "$files" = "README.TXT VANTREL.HLP vantrel-report.exe vantrel.exe " ] || { echo "$zip holds: $files" >&2; exit 1; }
    echo "$zip"
done
scripts/test-hardening.sh

for skip in ${skipped[@]+"${skipped[@]}"}; do
    echo "SKIPPED: $skip"
done
