#!/usr/bin/env bash
# Fails when a ctest test of BUILD has no TIMEOUT of its own: without one,
# ctest would let a hung test hold the run for 1500 s.
#   testing/harness/check-test-timeouts.sh BUILD
set -euo pipefail
cd "$1"
ctest --show-only=json-v1 | python3 -c '
import json, sys
tests = json.load(sys.stdin)["tests"]
bare = [t["name"] for t in tests
        if not any(p["name"] == "TIMEOUT" for p in t.get("properties", []))]
if bare:
    sys.exit("tests without a TIMEOUT: " + " ".join(bare))
print("%d tests, each with a TIMEOUT" % len(tests))
'
