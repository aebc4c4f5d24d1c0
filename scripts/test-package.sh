#!/usr/bin/env bash
# The Debian package as its consumers see it: builds it (scripts/package.sh),
# then lintian on it, the services' security ratings by systemd-analyze, the
# manual page rendered by man, and the manual page against --help and the
# README. What the package does once installed is test-deb.sh's part.
set -euo pipefail
cd "$(dirname "$0")/.."

. testing/harness/checks.sh

scripts/package.sh
deb=$(ls build/deb/vantrel-report_*.deb)
root=build/deb-contents
rm -rf "$root"
mkdir -p "$root"
dpkg-deb -x "$deb" "$root"
program=$root/usr/sbin/vantrel-report

echo "== lintian"
# Every tag shown, the pedantic and informational ones too; an error or a
# warning fails. (lintian warns about being run as root: that is no tag.)
status=0
lintian --fail-on error,warning -I --pedantic build/deb/*.changes >build/deb/lintian.txt 2>&1 ||
    status=$?
grep -v '^running with root privileges' build/deb/lintian.txt || true
[ "$status" -eq 0 ] && pass "lintian: no error or warning" ||
    fail "lintian found errors or warnings (exit status $status)"
# The overridden tags, said (lintian ends with 2 when it shows them).
lintian --show-overrides build/deb/*.changes 2>/dev/null | grep '^O: ' || true
# Only the two overrides that are allowed, each with its reason on the
# line above it.
for file in debian/vantrel-report.lintian-overrides debian/source/lintian-overrides; do
    while IFS= read -r line; do
        case "$line" in
        '#'* | '') continue ;;
        esac
        tag=$(sed -E 's/^[^:]+: ([a-z0-9-]+).*/\1/' <<<"$line")
        case "$tag" in
        shared-library-lacks-prerequisites | initial-upload-closes-no-bugs) ;;
        *) fail "$file overrides $tag" ;;
        esac
        grep -B1 -xF "$line" "$file" | head -1 | grep -q '^# .' ||
            fail "$file: no reason above \"$line\""
    done <"$file"
done

echo "== contents and version"
contents=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort | tr '\n' ' ')
expected="./lib/systemd/system/vantrel-report-prometheus.service \
./lib/systemd/system/vantrel-report-prometheus.timer \
./lib/systemd/system/vantrel-report-self-test.service \
./lib/systemd/system/vantrel-report-self-test.timer ./usr/sbin/vantrel-report \
./usr/share/doc/vantrel-report/README.md.gz ./usr/share/doc/vantrel-report/changelog.gz \
./usr/share/doc/vantrel-report/copyright ./usr/share/lintian/overrides/vantrel-report \
./usr/share/man/man8/vantrel-report.8.gz \
./usr/share/vantrel-report/prometheus/vantrel-alerts.yml \
./usr/share/vantrel-report/prometheus/vantrel-dashboard.json \
./usr/share/vantrel-report/vantrel-report.schema.json "
[ "$contents" = "$expected" ] && pass "the package holds what it should" ||
    fail "the package holds: $contents"
version=$(dpkg-parsechangelog -SVersion)
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] && pass "package version $version" ||
    fail "package version $(dpkg-deb -f "$deb" Version), changelog $version"
IFS=. read -r major minor build <<<"$version"
said=$("$program" --version)
[ "$said" = "Vantrel V$major.$minor Build: $build" ] && pass "--version: $said" ||
    fail "--version says \"$said\" for version $version"
[ -z "$(dpkg-deb -f "$deb" Depends)" ] && pass "no Depends (a static PIE)" ||
    fail "Depends: $(dpkg-deb -f "$deb" Depends)"
[ "$(dpkg-deb -f "$deb" Recommends)" = prometheus-node-exporter ] &&
    pass "Recommends: prometheus-node-exporter" || fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"
glibc=$(dpkg-query -W -f '${source:Package} (= ${source:Version})' libc6-dev)
grep -qF "$glibc" <<<"$(dpkg-deb -f "$deb" Built-Using)" && pass "Built-Using names $glibc" ||
    fail "Built-Using: $(dpkg-deb -f "$deb" Built-Using)"

echo "== the services' security ratings"
for unit in vantrel-report-prometheus.service vantrel-report-self-test.service; do
    rating=$(systemd-analyze security --offline=true --root="$root" "$unit" 2>&1 |
        sed -n "s/^→ Overall exposure level for $unit: \([0-9.]*\) .*/\1/p")
    if [ -n "$rating" ] && awk -v r="$rating" 'BEGIN { exit !(r <= 2.0) }'; then
        pass "systemd-analyze security $unit: $rating (at most 2.0)"
    else
        systemd-analyze security --offline=true --root="$root" "$unit" >&2 || true
        fail "systemd-analyze security rates $unit ${rating:-(no rating)}, above 2.0"
    fi
done

echo "== the manual page"
page=$root/usr/share/man/man8/vantrel-report.8.gz
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >build/deb/man.txt)
[ -z "$warnings" ] && [ -s build/deb/man.txt ] && pass "man --warnings: rendered without a warning" ||
    fail "man --warnings -l:"$'\n'"$warnings"
# A section of the rendered page: its lines up to the next heading.
section() {
    awk -v name="$1" '/^[A-Z]/ { on = ($0 == name); next } on' build/deb/man.txt
}
for name in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES HEALTH "SEE ALSO"; do
    [ -n "$(section "$name")" ] || fail "the manual page has no section $name"
done
# The options: --help's entries (two blanks, then the option) and the
# OPTIONS section's (seven blanks, then the option) name the same ones.
help_options=$("$program" --help | sed -nE 's/^  (--[a-z0-9-]+|[A-Z]+)( .*)?$/\1/p' | LC_ALL=C sort -u)
man_options=$(section OPTIONS | sed -nE 's/^       (--[a-z0-9-]+|[A-Z]+)( .*)?$/\1/p' | LC_ALL=C sort -u)
if [ -n "$help_options" ] && [ "$help_options" = "$man_options" ]; then
    pass "OPTIONS and --help name the same options: $(tr '\n' ' ' <<<"$help_options")"
else
    fail "options: --help has"$'\n'"$help_options"$'\n'"OPTIONS has"$'\n'"$man_options"
fi
# The exit statuses: the README's table, row by row, against the section's
# entries (the status, then its meaning as one line).
readme_statuses=$(sed -nE 's/^\| ([0-9]) \| (.*) \|$/\1 \2/p' README.md | tr -d '`')
man_statuses=$(section "EXIT STATUS" | awk '
    /^       [0-9] / { if (entry) print entry; entry = $0; next }
    /^              / && entry { entry = entry " " $0; next }
    { if (entry) print entry; entry = "" }
    END { if (entry) print entry }' | tr -s ' ' | sed 's/^ //')
if [ -n "$readme_statuses" ] && [ "$readme_statuses" = "$man_statuses" ]; then
    pass "EXIT STATUS equals the README's table ($(wc -l <<<"$readme_statuses") statuses)"
else
    fail "exit statuses: the README has"$'\n'"$readme_statuses"$'\n'"the manual page has"$'\n'"$man_statuses"
fi

echo "== package: $failures failure(s)"
[ "$failures" -eq 0 ]
