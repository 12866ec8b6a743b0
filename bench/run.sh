#!/usr/bin/env bash
# Times the scripted accept path of tolvane against the same change made with cp and
# printf, on Morrowind.ini files of 16 KiB, 1 MiB and 256 MiB in a scratch folder: once
# as plain commands ("baseline"), and once made durable as tolvane makes it, the backup
# flushed and renamed into place and the ini flushed ("durable"). Runs alternate.
# Prints the median wall time and the peak resident set size of each, and tolvane's
# ratio to each baseline.
#   bench/run.sh [path/to/tolvane]     (default: build/native/tolvane, built if missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Scripted with no terminal: off any display, or the runs would show the desktop's dialogs.
unset DISPLAY WAYLAND_DISPLAY
program=${1:-$root/build/native/tolvane}
if [ ! -x "$program" ]; then
    cmake --preset native -S "$root" >/dev/null
    cmake --build --preset native --target tolvane >/dev/null
fi
program=$(realpath "$program")
if [ ! -x /usr/bin/time ]; then
    sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get install -y -q time >/dev/null
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-bench-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
printf '\n\n\n\n\n\n\n' > answers
lines='"\r\n\r\nMin FPS=15\r\nMaX FPS=85\r\nInterior Cell Buffer=0\r\nExterior Cell Buffer=0\r\nShow FPS=1\r\n"'
baseline="cp Morrowind.ini Morrowind.ini.old && printf $lines >> Morrowind.ini"
durable="cp Morrowind.ini t && sync t && mv t Morrowind.ini.old && sync . && printf $lines >> Morrowind.ini && sync Morrowind.ini"
commands=(tolvane baseline durable)

now_us() { echo $(( $(date +%s%N) / 1000 )); }
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# One timed run from the same starting point: the ini at its original size, no backup.
run_once() {  # SIZE WHICH -> prints "microseconds kib"
    truncate -s "$1" Morrowind.ini
    rm -f Morrowind.ini.old
    local start end
    start=$(now_us)
    case $2 in
    tolvane) /usr/bin/time -f %M -o rss "$program" < answers > /dev/null ;;
    baseline) /usr/bin/time -f %M -o rss bash -c "$baseline" ;;
    durable) /usr/bin/time -f %M -o rss bash -c "$durable" ;;
    esac
    end=$(now_us)
    echo "$((end - start)) $(tail -n 1 rss)"
}

printf '%-8s %-9s %12s %14s\n' size command median_ms peak_rss_kib
for plan in 16K:41 1M:21 256M:7; do
    size=${plan%:*} runs=${plan#*:}
    { yes "Some Key=Some Value" || true; } | head -c "$(numfmt --from=iec "$size")" > Morrowind.ini
    bytes=$(stat -c %s Morrowind.ini)
    for which in "${commands[@]}"; do : > "t.$which"; done
    for ((i = 0; i < runs; i++)); do
        for which in "${commands[@]}"; do run_once "$bytes" "$which" >> "t.$which"; done
    done
    for which in "${commands[@]}"; do
        ms=$(cut -d' ' -f1 "t.$which" | median | awk '{printf "%.2f", $1 / 1000}')
        rss=$(cut -d' ' -f2 "t.$which" | sort -n | tail -n 1)
        printf '%-8s %-9s %12s %14s\n' "$size" "$which" "$ms" "$rss"
    done
    t=$(cut -d' ' -f1 t.tolvane | median)
    for which in baseline durable; do
        b=$(cut -d' ' -f1 "t.$which" | median)
        printf '%-8s ratio to %-9s %3s\n' "$size" "$which" \
            "$(awk -v t="$t" -v b="$b" 'BEGIN {printf "%.2fx", t / b}')"
    done
done
