#!/usr/bin/env bash
# Runs tolvane.exe under Wine on a virtual X display and answers its real message boxes
# with xdotool, the way a player would with the keyboard: one case per path.
#   cases.sh setup | cleanup | case NAME
set -uo pipefail
# shellcheck source=harness.sh
. "$(dirname "$0")/harness.sh"
# The cases, by kind: one run alone, with other programs and runs, at the disk's limits.
for kind in answers others limits; do
    # shellcheck source=/dev/null
    . "$(dirname "$0")/$kind.sh"
done

run_case() {
    local name=$1
    wine_env
    run="$WORK/runs/$name"
    play="$run/play"
    exe=$TOLVANE_EXE
    umount "$run/disk" 2>/dev/null  # a small disk an earlier failed run left mounted
    rm -rf "$run"
    mkdir -p "$play"
    printf '%s' "$block$fps" | cat "$SAMPLE_INI" - > "$run/with-fps.ini"
    printf '%s' "$block" | cat "$SAMPLE_INI" - > "$run/without-fps.ini"
    cp "$SAMPLE_INI" "$play/Morrowind.ini"
    # Every box seen is kept as a picture for a person to look at.
    shots="$WORK/screenshots/$name"
    rm -rf "$shots" && mkdir -p "$shots"

    local function=case_${name//-/_}
    declare -F "$function" >/dev/null || { echo "no such case: $name"; exit 2; }
    "$function"
    report
}

case "${1:-}" in
setup) require_wine; setup ;;
cleanup) cleanup ;;
case) require_wine; run_case "$2" ;;
*) echo "usage: $0 setup|cleanup|case NAME"; exit 2 ;;
esac
