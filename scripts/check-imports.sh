#!/usr/bin/env bash
# What the Windows executables ask of the system that loads them.
#   check-imports.sh BUILD_DIR...
# Every executable may import Windows' own DLLs only: a libstdc++, libgcc or
# winpthread DLL would not be on the user's machine. The product executables
# (vantrel.exe, vantrel-demo.exe, vantrel-report.exe) must also start on the oldest Windows they
# are for: every function they import must be in that system's export list
# (scripts/oldest-exports/<architecture>/<dll>.txt), and the PE header must not
# ask for a newer subsystem than that system runs.
set -euo pipefail
exports="$(dirname "$0")/oldest-exports"
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|advapi32|msvcrt)\.dll$'
status=0

# Prints "dll function" for each imported function, the dll in lower case.
imported_functions() {
    x86_64-w64-mingw32-objdump -p "$1" | awk '
        /^\tDLL Name: / { dll = tolower($3); sub(/\.dll$/, "", dll); next }
        /^\t[0-9a-f]+\t +[0-9]+  [A-Za-z_]/ && dll != "" { print dll, $3 }
        /^$/ { dll = "" }'
}

check_product() {
    local exe=$1 arch oldest subsystem
    case "$(x86_64-w64-mingw32-objdump -f "$exe")" in
    *pei-i386*) arch=i686 oldest=4.0 ;;
    *pei-x86-64*) arch=x86_64 oldest=5.2 ;;
    *) echo "$exe: not a Windows executable" >&2; status=1; return ;;
    esac
    subsystem=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '
        /^MajorSubsystemVersion/ { major = $2 }
        /^MinorSubsystemVersion/ { minor = $2 }
        END { print major "." minor }')
    if ! awk -v have="$subsystem" -v want="$oldest" 'BEGIN {
            split(have, h, "."); split(want, w, ".");
            exit !(h[1] < w[1] || (h[1] == w[1] && h[2] <= w[2])) }'; then
        echo "$exe asks for subsystem version $subsystem; the oldest $arch target runs $oldest" >&2
        status=1
    fi
    local dll function list
    while read -r dll function; do
        list="$exports/$arch/$dll.txt"
        if [ ! -f "$list" ]; then
            echo "$exe imports $function from $dll.dll, which has no $arch export list" >&2
            status=1
        elif ! sed 's/[[:space:]]*#.*//' "$list" | grep -xF "$function" >/dev/null; then
            # (grep -q would stop reading early and, under pipefail, sed's
            # broken pipe would count as a missing function)
            echo "$exe imports $dll.dll!$function, which the oldest $arch Windows does not export" >&2
            status=1
        fi
    done < <(imported_functions "$exe")
}

products=0
for dir in "$@"; do
    while IFS= read -r exe; do
        while IFS= read -r dll; do
            if ! printf '%s\n' "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
                echo "$exe imports $dll" >&2
                status=1
            fi
        done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
        case "$(basename "$exe")" in
        vantrel.exe | vantrel-demo.exe | vantrel-report.exe)
            check_product "$exe"; products=$((products + 1)) ;;
        esac
    done < <(find "$dir" -name '*.exe' -not -name '*_test.exe' -not -path '*/googletest/*' \
                  -not -path '*/CMakeFiles/*' -not -path '*/wineprefix/*')
done
if [ $products -eq 0 ]; then
    echo "no product executable found in $*" >&2
    status=1
fi
[ $status -eq 0 ] && echo "imports: Windows system DLLs only; $products product executables start on their oldest Windows"
exit $status
