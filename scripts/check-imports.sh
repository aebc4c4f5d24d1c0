#!/usr/bin/env bash
# Every Windows executable may import Windows' own DLLs only: a libstdc++,
# libgcc or winpthread DLL would not be on the user's machine.
set -euo pipefail
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|advapi32|msvcrt)\.dll$'
status=0
for dir in "$@"; do
    while IFS= read -r exe; do
        while IFS= read -r dll; do
            if ! printf '%s\n' "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
                echo "$exe imports $dll" >&2
                status=1
            fi
        done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
    done < <(find "$dir" -name '*.exe' -not -name '*_test.exe' -not -path '*/googletest/*' -not -path '*/CMakeFiles/*')
done
[ $status -eq 0 ] && echo "imports: Windows system DLLs only"
exit $status
