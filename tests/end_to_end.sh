#!/usr/bin/env bash
# Runs the built program through a pipe, as a player's answers would reach it, on a
# copy of the sample ini in a scratch folder.
set -euo pipefail
program=$(realpath "$1")
sample=$(realpath "$2")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

block=$'\r\n\r\nMin FPS=15\r\nMaX FPS=85\r\nInterior Cell Buffer=0\r\nExterior Cell Buffer=0\r\n'
fps=$'Show FPS=1\r\n'
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run NAME INPUT BOXES [ARGS...]: runs once on a fresh copy of the sample.
run() {
    local name=$1 input=$2 boxes=$3
    shift 3
    rm -f Morrowind.ini Morrowind.ini.old
    cp "$sample" Morrowind.ini
    local status=0
    printf "$input" | "$program" "$@" > screen.txt || status=$?
    [ "$status" -eq 0 ] || fail "$name: exit status $status"
    local shown
    shown=$(grep -c '^+-- ' screen.txt || true)
    [ "$shown" -eq "$boxes" ] || fail "$name: $shown boxes shown, expected $boxes"
    grep '^+-- ' screen.txt | tail -n 1 | grep -q '^+-- About Tolvane ' || fail "$name: last box is not About"
}

expect_ini() {  # NAME EXPECTED-BYTES
    cmp -s Morrowind.ini <(cat "$sample"; printf '%s' "$2") || fail "$1: Morrowind.ini differs"
}

run decline '\nn\n\n\n' 4
cmp -s Morrowind.ini "$sample" || fail "decline: Morrowind.ini changed"
[ ! -e Morrowind.ini.old ] || fail "decline: a backup was made"

run accept-with-fps '\n\n\n\n\n\n\n' 7
expect_ini accept-with-fps "$block$fps"
cmp -s Morrowind.ini.old "$sample" || fail "accept-with-fps: backup differs"

run accept-without-fps '\no\n\n\nnon\n\n\n' 7
expect_ini accept-without-fps "$block"
cmp -s Morrowind.ini.old "$sample" || fail "accept-without-fps: backup differs"

# Input ends at once: the confirmation was never answered, so nothing is touched.
run no-input '' 4
cmp -s Morrowind.ini "$sample" || fail "no-input: Morrowind.ini changed"
[ ! -e Morrowind.ini.old ] || fail "no-input: a backup was made"

# Arguments and environment change nothing.
TOLVANE_CONTACT_EMAIL=x LANG=C run with-arguments '\n\n\n\n\n\n\n' 7 --help -y /tmp
expect_ini with-arguments "$block$fps"

grep -q $'cr\xc3\xa9\xc3\xa9 par Quedrin' screen.txt || fail "accents are not drawn as UTF-8"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all end-to-end checks passed"
