#!/bin/sh
# Runs a test program as the unprivileged user nobody when started as root
# (as CI is), from a folder of its own that also serves as its TEST_TMPDIR;
# started by anyone else, it runs as is.
set -eu
if [ "$(id -u)" -ne 0 ]; then
    exec "$@"
fi
program=$1
shift
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$program" "$dir/"
chown -R nobody "$dir"
TEST_TMPDIR=$dir setpriv --reuid=nobody --regid=nogroup --clear-groups -- \
    "$dir/$(basename "$program")" "$@"
