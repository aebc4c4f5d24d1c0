#!/usr/bin/env bash
# Builds the Debian package of vantrel-report, the Debian way
# (dpkg-buildpackage, debhelper, CMake), into build/deb/: the .deb, and the
# .buildinfo and .changes that describe the build. Installs the build
# dependencies first (scripts/install-deps.sh package). Then:
#   apt install ./build/deb/vantrel-report_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

[ -n "${VANTREL_DEPS_INSTALLED:-}" ] || scripts/install-deps.sh package

version=$(dpkg-parsechangelog -SVersion)
arch=$(dpkg --print-architecture)
out=build/deb
rm -rf "$out"
mkdir -p "$out"
# The package's own build folders start empty, so that nothing of an
# earlier build (of another version, say) goes into this one.
debian/rules clean >/dev/null
# Unsigned: whoever publishes the package signs it. The .buildinfo and
# .changes go beside the .deb, not into the folder above the checkout.
dpkg-buildpackage -b -us -uc \
    --buildinfo-option=-u"$out" --buildinfo-file="$out/vantrel_${version}_$arch.buildinfo" \
    --changes-option=-u"$out" --changes-file="$out/vantrel_${version}_$arch.changes" \
    >"$out/build.log" 2>&1 || {
    tail -40 "$out/build.log" >&2
    echo "package.sh: dpkg-buildpackage failed (whole log: $out/build.log)" >&2
    exit 1
}
debian/rules clean >/dev/null
ls "$out"/*.deb
