# Sourced by the shell tests: each check says ok or FAIL, and the failures
# are counted, so that a test runs all its checks and ends on the count.
# shellcheck shell=bash
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
pass() {
    echo "ok: $*"
}
