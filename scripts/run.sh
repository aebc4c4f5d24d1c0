#!/usr/bin/env bash
# Builds vantrel-report and shows the report of the built-in sample drives:
# two drives of one model at positions 0 and 2 (one worn), none at 1, and a
# drive without SMART data at 3.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/native >/dev/null
cmake --build build/native -j 2 --target vantrel-report >/dev/null
report=build/native/tools/vantrel-report/vantrel-report
samples=(samples/CORVANE_CV-8040A--worn.smart - samples/CORVANE_CV-8040A--healthy.smart
         samples/CORVANE_CV-2010L--no-smart.smart)
echo "Drive list:"
"$report" --list "${samples[@]}"
echo
"$report" "${samples[@]}" | tr -d '\r'
