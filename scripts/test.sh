#!/usr/bin/env bash
# Builds everything and runs every test: the native build, then the Windows
# builds, x86_64 and i686, whose tests run under 64- and 32-bit Wine.
# Where 32-bit Wine (Debian's wine32:i386) could not be installed, the i686
# programs are still built, checked and packed, only not run; the last line
# then says so and why. Nothing else may be skipped.
# Every suite runs, each within its own time limit, whatever became of the
# ones before it: one failure must not hide another. Each ends with a line
# giving its result and time; the failures are listed at the end, and the
# script then exits 1.
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

failed=()

# Runs one suite, a function below, in a shell of its own that stops at its
# first failing command, within a time limit that ends the suite's whole
# process group; then ends what it left in Wine and says how it went.
suite() {
    local name=$1 limit=$2 body=$3 started=$SECONDS rc=0
    echo "== $name"
    set +e
    timeout -k 30 "$limit" bash -euo pipefail -c "$body"
    rc=$?
    set -e
    end_wine
    local took=$((SECONDS - started))
    if [ "$rc" -eq 0 ]; then
        echo "== $name: passed in $took s"
    else
        [ "$rc" -eq 124 ] && rc="$rc, over its $limit s"
        echo "== $name: FAILED (exit $rc) in $took s"
        failed+=("$name (exit $rc) in $took s")
    fi
}

native() {
    cmake -S . -B build/native
    cmake --build build/native -j "$jobs"
    testing/harness/check-test-timeouts.sh build/native
    (cd build/native && ctest --output-on-failure)
}

# As a new user's first run: no display, no prefix; bounded in time.
run_command() {
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
}

windows() {
    local build=build/$1
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-w64-$2.cmake"
    cmake --build "$build" -j "$jobs"
    testing/harness/check-test-timeouts.sh "$build"
    if [ "$1" = win32 ] && [ -n "$win32_reason" ]; then
        echo "not run: no 32-bit Wine"
        return 0
    fi
    testing/harness/run-wine-suite.sh "$build"
}

# The product end to end on a SMART driver in Wine's kernel; the script ends
# Wine's session on the way out.
wine_driver() {
    local win32=build/win32
    [ -z "$win32_reason" ] || win32=""
    xvfb-run -a -s "-screen 0 1024x768x24" \
        python3 scripts/test-wine-driver.py "$PWD" build/native build/win64 $win32
}

imports_and_sizes() {
    scripts/check-imports.sh build/win64 build/win32
    scripts/benchmark.sh --sizes
}

# The download zips: programs, help file, README.TXT.
download_packages() {
    local build zip files
    for build in build/win64 build/win32; do
        (cd "$build" && rm -f vantrel-*.zip && cpack >/dev/null)
        zip=$(ls "$build"/vantrel-*.zip)
        files=$(cmake -E tar tf "$zip" | sed -n 's|^[^/]*/\([^/]\{1,\}\)$|\1|p' | LC_ALL=C sort | tr '\n' ' ')
        [ "$files" = "README.TXT VANTREL.HLP vantrel-report.exe vantrel.exe " ] ||
            { echo "$zip holds: $files" >&2; exit 1; }
        echo "$zip"
    done
}

# The booted guest installs the package the suite before built; it builds
# one itself where that suite left none. Where it could not be had, it
# says why.
deb_guest() {
    local deb
    deb=$(ls build/deb/vantrel-report_*.deb 2>/dev/null | head -1 || true)
    VANTREL_DEB_PACKAGE=$deb scripts/test-deb.sh
}

export jobs
export -f end_wine native run_command windows wine_driver imports_and_sizes download_packages deb_guest

win32_reason=""
if reason=$(wine32_missing); then
    win32_reason=${reason:-not installed}
    skipped+=("i686 under Wine (wine32:i386 could not be installed: $win32_reason)")
fi
export win32_reason

suite "native" 1200 native
suite "QEMU: the Linux backend against real IDE, AHCI and NVMe disks" 900 scripts/test-qemu.sh
suite "the Debian package: lintian, its manual page, the service's security rating" 600 \
    scripts/test-package.sh
suite "the Debian package on a booted Debian system" 1500 deb_guest
[ ! -f build/deb-guest/skipped ] || skipped+=("$(sed 's/^SKIPPED: //' build/deb-guest/skipped)")
suite "the README's run command, headless, on a new Wine prefix" 700 run_command
suite "Windows x86_64 (tests under Wine)" 1500 "windows win64 x86_64"
suite "Windows i686 (tests under 32-bit Wine)" 1500 "windows win32 i686"
suite "the product end to end on a SMART driver in Wine's kernel" 1200 wine_driver
suite "imports and sizes" 300 imports_and_sizes
suite "download packages" 300 download_packages
suite "sanitizers and fuzzing" 1800 scripts/test-hardening.sh

for skip in ${skipped[@]+"${skipped[@]}"}; do
    echo "SKIPPED: $skip"
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "${#failed[@]} suite(s) failed:"
    for failure in "${failed[@]}"; do
        echo "FAILED: $failure"
    done
    exit 1
fi
echo "every suite passed"
