#!/usr/bin/env bash
# Installs, from Debian's packages, what one of the README's commands needs
# and this machine lacks. Needs root (or sudo) only when something is missing.
#   scripts/install-deps.sh run    what scripts/run.sh needs: the demo and its screenshots
#   scripts/install-deps.sh package  what scripts/package.sh needs: the Debian package's build
#   scripts/install-deps.sh test   everything scripts/test.sh needs
# The archive is sometimes out of step with itself for a while (an index of
# one architecture that does not match its Release file): a failed list
# update is said in one line and the lists at hand are used. Only a failed
# install ends the script, naming what it could not install and why. The one
# package that may be missing is 32-bit Wine: its absence is said, and the
# test command then builds and checks the i686 programs without running them.
set -euo pipefail

want=${1:-}
case "$want" in
run | package | test) ;;
*)
    echo "usage: $0 run|package|test" >&2
    exit 2
    ;;
esac

# The one list: the sets that need each package (every package is a test
# package too), the package, and what it is for.
manifest='
run,package  cmake               the build
run,package  make                the build
run,package  g++                 the native compiler: vantrel-report and the help file writer
package  dpkg-dev                dpkg-buildpackage, the Debian package build (package.sh)
package  debhelper               dh and its helpers, compat 13 (debian/rules)
run  g++-mingw-w64-x86-64-posix  the x86_64 toolchain file compiler (ui-remote, GoogleTest)
run  g++-mingw-w64-x86-64-win32  the x86_64 product runtime (win32 threads)
run  binutils-mingw-w64-x86-64   windres, the resource compiler
run  wine                        runs the Windows programs
run  wine64                      64-bit Wine
run  xvfb                        a virtual display when there is none
run  xauth                       xvfb-run needs it
run  imagemagick                 screenshots (import) and their checks (identify)
test googletest                  GoogleTest sources, built with each toolchain
test mingw-w64                   the i686 and x86_64 Windows headers and libraries
test g++-mingw-w64-i686-posix    the i686 toolchain file compiler
test g++-mingw-w64-i686-win32    the i686 product runtime
test wine32:i386                 32-bit Wine: runs the i686 build
test python3                     test-wine-driver.py, the JSON and Prometheus tests
test python3-jsonschema          the JSON Schema validator
test prometheus                  promtool and a real Prometheus server
test prometheus-node-exporter    the textfile collector a metrics file is read by
test clang-14                    the sanitizer suite and libFuzzer (test-hardening.sh)
test libclang-rt-14-dev          their runtimes
test qemu-system-x86             test-qemu.sh: real IDE and AHCI disks in a guest
test busybox-static              the guest userland
test cpio                        the guest initramfs
test kmod                        depmod for the guest kernel modules
test lintian                     checks the Debian package against Debian Policy
test man-db                      man --warnings: the manual page renders without a warning
test systemd                     systemd-analyze: the units verified and their security rated
test mmdebstrap                  test-deb.sh: the booted guest: a Debian root file system
test e2fsprogs                   test-deb.sh: mkfs.ext4 -d, the guest root disk, made without a mount
'
optional=wine32:i386
packages=()
while read -r set package _; do
    [ -n "$set" ] || continue
    if [ "$want" = test ] || [[ ",$set," == *",$want,"* ]]; then
        packages+=("$package")
    fi
done <<<"$manifest"

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}
missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# apt's own first error line, without its "E: ".
apt_error() {
    local line
    line=$(grep -m1 '^E: ' "$log" || grep -m1 -v '^\s*$' "$log" || true)
    echo "${line#E: }"
}

if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
for try in 1 2 3; do
    if $sudo apt-get update >"$log" 2>&1; then
        break
    fi
    if [ $try -eq 3 ]; then
        echo "install-deps.sh: apt-get update failed 3 times, going on with the lists at hand: $(apt_error)"
        break
    fi
    sleep 5
done

install() {
    $sudo apt-get install -y --no-install-recommends "$@" >"$log" 2>&1
}
install "${missing[@]}" && exit 0
rest=()
for package in "${missing[@]}"; do
    [ "$package" = "$optional" ] || rest+=("$package")
done
if [ ${#rest[@]} -lt ${#missing[@]} ]; then
    # Without 32-bit Wine, then 32-bit Wine alone: its own reason, not one
    # that belonged to another package.
    if [ ${#rest[@]} -eq 0 ] || install "${rest[@]}"; then
        install "$optional" && exit 0
        echo "install-deps.sh: $optional could not be installed ($(apt_error)):" \
            "the i686 programs will be built and checked but not run under Wine this time"
        exit 0
    fi
fi
echo "install-deps.sh: could not install ${rest[*]}: $(apt_error)" >&2
exit 1
