# What every kind of end-to-end run shares, sourced by each kind's own file as
#   KIND.sh PROGRAM SAMPLE [...]
# a scratch folder holding a copy of the sample ini, the built program run on it through
# a pipe or held at a box, the files' bytes compared, and an unprivileged player's
# account. Every run is bounded: one that hangs fails its own case within a minute, and
# the other cases go on.
set -euo pipefail
export LC_ALL=C.UTF-8  # a row's length is counted in characters
# A run with no person at a terminal shows a desktop's dialogs: only the desktop kind
# names a display, its own.
unset DISPLAY WAYLAND_DISPLAY
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$(realpath "$1")
sample=$(realpath "$2")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

block=$'\r\n\r\nMin FPS=15\r\nMaX FPS=85\r\nInterior Cell Buffer=0\r\nExterior Cell Buffer=0\r\n'
fps=$'Show FPS=1\r\n'
stale=$'an older backup\r\n'
accept_all='\n\n\n\n\n\n\n'
failures=0
via=()  # a command the program is run through, such as strace
# LeakSanitizer cannot work under ptrace; the sanitized build's other checks still run.
bound=(timeout 60)  # every run of the program goes through it
strace_env() { export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0; }

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

fresh_folder() {  # [OLDER-BACKUP]: the sample ini, and the older backup if given
    rm -f Morrowind.ini Morrowind.ini.old Morrowind.ini.old.tmp
    cp "$sample" Morrowind.ini
    [ $# -eq 0 ] || printf '%s' "$1" > Morrowind.ini.old
}

# run NAME INPUT BOXES [ARGS...]: runs once on the files as they are; BOXES - takes
# any number of boxes.
run() {
    local name=$1 input=$2 boxes=$3
    shift 3
    local status=0
    printf "$input" | "${bound[@]}" "${via[@]}" "$program" "$@" > screen.txt 2> stderr.txt || status=$?
    [ "$status" -ne 124 ] || status="124: it did not end within a minute"
    [ "$status" = 0 ] || fail "$name: exit status $status"
    local shown
    shown=$(grep -c '^┌' screen.txt || true)
    [ "$boxes" = - ] || [ "$shown" -eq "$boxes" ] || fail "$name: $shown boxes shown, expected $boxes"
    grep '^┌' screen.txt | tail -n 1 | grep -q '^┌─ About Tolvane ' || fail "$name: last box is not About"
}

same() { cmp -s "$1" <(printf '%s' "$2"); }
with_sample() { cat "$sample"; printf '%s' "$1"; }
expect_ini() {  # NAME EXPECTED-BYTES-AFTER-THE-SAMPLE
    cmp -s Morrowind.ini <(with_sample "$2") || fail "$1: Morrowind.ini differs"
}
updated_shown() { grep -q $'mis \xc3\xa0 jour' screen.txt; }

# Root's rights would hide what a player meets, so root runs a player's case as an
# unprivileged account, in a folder that account owns.
as_a_player() {  # NAME player|self BOXES TEXT-SHOWN (with _ for spaces)
    # Locals: run sees them, and the other cases keep the program and no wrapper.
    local via=() program=$program name=$1
    shift
    if [ "$1" = player ] && [ "$(id -u)" -eq 0 ]; then
        cp "$program" ./tolvane
        program=$scratch/tolvane
        chmod 755 "$scratch"
        chown -R nobody:nogroup "$scratch"
        via=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    fi
    run "$name" '\no\n\n\n\n' "$2"
    grep -q "${3//_/ }" screen.txt || fail "$name: \"${3//_/ }\" not shown"
    cmp -s Morrowind.ini "$sample" || fail "$name: Morrowind.ini changed"
    same Morrowind.ini.old "$stale" || fail "$name: the older backup changed"
    [ ! -e Morrowind.ini.old.tmp ] || fail "$name: the temporary backup was left"
    rm -f tolvane
}

wait_for() {  # FILE TEXT: waits up to 10 seconds for TEXT to appear in FILE
    local i
    for i in $(seq 1 100); do
        grep -q -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "never shown in $1: $2"
    return 1
}

# A run in the background whose screen is NAME.txt, its answers fed later through a
# FIFO held open on descriptor FD. An earlier run's screen is removed first, so that
# waiting for a box never reads it.
start_held_run() {  # NAME FD
    rm -f "$1.fifo" "$1.txt" && mkfifo "$1.fifo"
    "${bound[@]}" "${via[@]}" "$program" < "$1.fifo" > "$1.txt" 2>&1 &
    held_pid[$2]=$!
    eval "exec $2> $1.fifo"
}

# The shell writes one line at a time: a run sent more lines than it has boxes may end
# before the last ones, and the write would end the test.
finish_held_run() {  # FD ANSWERS, one per box still to come
    printf "$2" >&"$1"
    eval "exec $1>&-"
    wait "${held_pid[$1]}" || fail "a held run's exit status is $?"
}


# Waits for a run in the background that has no time limit of its own; after a minute
# it and what it started are killed, and NAME fails.
wait_bounded() {  # PID NAME
    local i
    for i in $(seq 1 600); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$1" 2>/dev/null; then
        fail "$2: did not end within a minute"
        pkill -KILL -P "$1" || true
        kill -KILL "$1" 2>/dev/null || true
    fi
    wait "$1"
}

finish() {  # KIND
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all $1 checks passed"
}
