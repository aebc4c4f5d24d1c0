#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# this machine lacks. Needs root (or sudo) only when something is missing.
set -euo pipefail

# The -posix compilers build GoogleTest; the product links the -win32 ones'
# runtime. wine32 (from the i386 architecture) runs the i686 build.
packages=(cmake make g++ googletest
          mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
          wine wine64 wine32:i386 xvfb xauth imagemagick
          python3  # test-wine-driver.py
          python3-jsonschema prometheus prometheus-node-exporter  # vantrel-report's consumers
          clang-14 libclang-rt-14-dev  # the sanitizer suite and libFuzzer (test-hardening.sh)
          qemu-system-x86 busybox-static cpio kmod libatasmart-bin)  # test-qemu.sh

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
