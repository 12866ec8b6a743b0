#!/usr/bin/env bash
# Checks tolvane.exe as a player's bare Windows would take it.
#   exe_checks.sh format EXE            PE32 for i386, console subsystem, only system DLLs, small
#   exe_checks.sh reproducible EXE SOURCE-DIR WORK-DIR CMAKE-ARGS...
#                                       a second build tree gives the same bytes
#   exe_checks.sh release EXE BUILD-DIR ZIP-NAME WORK-DIR
#                                       the players' zip holds the program and its README
set -uo pipefail
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

format() {
    local exe=$1 headers
    headers=$(i686-w64-mingw32-objdump -f -p "$exe") || { fail "objdump could not read $exe"; return; }
    grep -q 'file format pei-i386' <<<"$headers" || fail "not a 32-bit x86 PE file"
    grep -Eq '^Magic[[:space:]]+010b' <<<"$headers" || fail "not PE32"
    grep -Eq '^Subsystem[[:space:]]+00000003' <<<"$headers" || fail "not a console (CUI) program"
    local dlls
    dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort | tr '\n' ' ')
    [ "$dlls" = "KERNEL32.dll USER32.dll msvcrt.dll " ] || fail "imports $dlls"
    local size
    size=$(stat -c %s "$exe")
    [ "$size" -le 65536 ] || fail "$size bytes, more than 64 KiB"
    echo "tolvane.exe: $size bytes, imports $dlls"
}

reproducible() {
    local exe=$1 source=$2 work=$3
    shift 3
    rm -rf "$work"
    cmake -S "$source" -B "$work" "$@" -DTOLVANE_BUILD_TESTS=OFF >"$work.log" 2>&1 &&
        cmake --build "$work" --target tolvane >>"$work.log" 2>&1 || {
        fail "the second build failed: $(tail -n 5 "$work.log")"
        return
    }
    cmp "$exe" "$work/tolvane.exe" || fail "two builds of the same source differ"
}

release() {
    local exe=$1 build=$2 zip=$3 work=$4
    rm -rf "$work" && mkdir -p "$work/unpacked"
    cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
        { fail "cpack failed: $(tail -n 5 "$work/cpack.log")"; return; }
    [ -f "$work/$zip" ] || { fail "no $zip made"; return; }
    local contents
    contents=$(cmake -E tar tf "$work/$zip" | sort | tr '\n' ' ')
    [ "$contents" = "README.txt tolvane.exe " ] || fail "$zip holds: $contents"
    (cd "$work/unpacked" && cmake -E tar xf "../$zip")
    cmp -s "$exe" "$work/unpacked/tolvane.exe" || fail "the zipped tolvane.exe is not the built one"
    grep -q 'Morrowind.ini.old en' "$work/unpacked/README.txt" || fail "README.txt lacks the French undo step"
    grep -q 'and the earlier Morrowind.ini.old too' "$work/unpacked/README.txt" ||
        fail "README.txt does not say that a failed run keeps the earlier backup"
    grep -q 'rename Morrowind.ini.old to Morrowind.ini' "$work/unpacked/README.txt" ||
        fail "README.txt lacks the English undo step"
}

case "${1:-}" in
release) shift; release "$@" ;;
format) format "$2" ;;
reproducible) shift; reproducible "$@" ;;
*) echo "usage: see the top of $0"; exit 2 ;;
esac
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "passed"
