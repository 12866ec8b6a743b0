#!/usr/bin/env bash
# Runs tolvane.exe under Wine on a virtual X display and answers its real message boxes
# with xdotool, the way a player would with the keyboard.
#   wine_tests.sh setup | cleanup | cp1252 | exe-checks | case NAME
# Paths come from the environment that CTest sets: TOLVANE_EXE, HOLD_EXE, DUMP_EXE,
# SAMPLE_INI, WORK (a folder in the build tree shared by one test run), and WINE_LOADER,
# the command that runs a program of the build's kind (wine, or the 64-bit loader).
set -uo pipefail

SKIP=77
wine=${WINE_LOADER:-wine}
state="$WORK/state"
prefix="$WORK/prefix"
block=$'\r\n\r\nMin FPS=15\r\nMaX FPS=85\r\nInterior Cell Buffer=0\r\nExterior Cell Buffer=0\r\n'
fps=$'Show FPS=1\r\n'
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Without Wine or Xvfb these tests cannot run: skipped on a developer's machine,
# failed in CI, never passed.
require_tools() {
    local missing=()
    for tool in "$wine" wineserver Xvfb xdotool import prlimit iconv; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    if [ ${#missing[@]} -ne 0 ]; then
        echo "missing: ${missing[*]}"
        [ "${CI:-}" = true ] && exit 1
        exit "$SKIP"
    fi
    # Wine runs a 32-bit program as a 32-bit Linux process. A kernel that cannot run
    # those (no IA-32 emulation) cannot run these tests, and no package changes that.
    if [ "$wine" = wine ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
        echo "this machine's kernel cannot run 32-bit x86 programs, so Wine cannot run tolvane.exe"
        echo "(the win64 preset runs this suite on a 64-bit build there)"
        exit "$SKIP"
    fi
}

wine_env() {
    export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    export DISPLAY
    DISPLAY=$(cat "$state/display" 2>/dev/null) || { echo "no display: setup did not run"; exit 1; }
}

setup() {
    mkdir -p "$state"
    local n
    for n in $(seq 90 200); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$state/xvfb.log" 2>&1 </dev/null &
    echo $! > "$state/xvfb.pid"
    echo ":$n" > "$state/display"
    local i
    for i in $(seq 1 100); do
        DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1 && break
        sleep 0.1
    done
    DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1 || { echo "Xvfb did not start"; exit 1; }

    rm -rf "$prefix"
    # The unprivileged player's folder is under the system's temporary folder, which that
    # account can reach wherever the checkout is (root's home folder is closed to it).
    mktemp -d "${TMPDIR:-/tmp}/tolvane-player-XXXXXX" > "$state/player_home"
    wine_env
    "$wine" wineboot -i </dev/null >"$state/wineboot.log" 2>&1 || { echo "wineboot failed"; exit 1; }
    # No window manager runs, so let Wine draw the captions itself: they show on screenshots.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >>"$state/wineboot.log" 2>&1
    wineserver -w
    # One server for the whole run, started here so that no test's limits or files leak into it.
    setsid wineserver -p </dev/null >/dev/null 2>&1
    echo "Wine prefix ready on display :$n"
}

# An unprivileged account, for what root's rights would hide; Wine wants a prefix
# owned by the user who runs it.
player_home=$(cat "$state/player_home" 2>/dev/null || true)
as_player() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env HOME="$player_home" WINEPREFIX="$player_home/prefix" WINEDEBUG=-all \
        WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY="$DISPLAY" "$@"
}

player_prefix() {
    [ -f "$player_home/prefix/system.reg" ] && return
    chown nobody:nogroup "$player_home"
    as_player "$wine" wineboot -i </dev/null >"$state/player-wineboot.log" 2>&1 || fail "wineboot as a player failed"
    as_player "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null \
        >>"$state/player-wineboot.log" 2>&1
}

cleanup() {
    [ -d "$state" ] || exit 0
    WINEPREFIX="$prefix" wineserver -k </dev/null >/dev/null 2>&1
    if [ -n "$player_home" ] && [ -d "$player_home" ]; then
        DISPLAY= as_player wineserver -k </dev/null >/dev/null 2>&1
        rm -rf "$player_home"
    fi
    [ -f "$state/xvfb.pid" ] && kill "$(cat "$state/xvfb.pid")" 2>/dev/null
    rm -rf "$state"
}

# --- driving one run -------------------------------------------------------

seen=" "
captions=()

# Sets $box to the id of a box window not seen before, waiting up to 30 seconds, and
# records its caption. A dismissed box can stay mapped for a moment, and another run's
# box may stay open, so a box is known by its window id, not its caption.
next_box() {
    local i w
    for i in $(seq 1 120); do
        for w in $(xdotool search --onlyvisible --name '^(About )?Tolvane$' 2>/dev/null); do
            case "$seen" in *" $w "*) ;; *)
                seen="$seen$w "
                box=$w
                captions+=("$(xdotool getwindowname "$w")")
                return 0 ;;
            esac
        done
        sleep 0.25
    done
    return 1
}

# Wine draws the boxes itself as unmanaged windows, which it destroys the moment a key
# dismisses them; a key sent to the window would lose its release and leave Wine thinking
# the key is still down. So the box gets the focus and the key is typed for real.
press() {  # WINDOW KEY
    xdotool windowfocus --sync "$1" key "$2" 2>/dev/null || fail "could not press $2 in window $1"
}

# Starts tolvane.exe in $play (optionally through a command such as prlimit), and
# answers one box per key given.
play_run() {  # KEY... (after an optional "--via CMD... --")
    start_run main "$@"
    if [ "${1:-}" = --via ]; then
        while [ "$1" != -- ]; do shift; done
        shift
    fi
    answer "$@"
    wait_exit main
}

# Starts one run of tolvane.exe in the background; RUN names its exit status file.
start_run() {  # RUN [--via CMD... --]
    local name=$1 via=()
    shift
    if [ "${1:-}" = --via ]; then
        shift
        while [ "$1" != -- ]; do via+=("$1"); shift; done
    fi
    rm -f "$run/$name.exit"
    (cd "$play" && trap '' XFSZ &&
        "${via[@]}" "$wine" "$exe" </dev/null >"$run/$name.console" 2>&1
     echo $? >"$run/$name.exit") &
}

# Answers one new box per key, in the order they appear, whichever run shows them.
answer() {  # KEY...
    local key
    for key in "$@"; do
        if ! next_box; then
            fail "box $((${#captions[@]} + 1)) never came; seen: ${captions[*]}"
            break
        fi
        sleep 0.5
        [ -n "${shots:-}" ] && import -window "$box" "$shots/$(printf %02d "${#captions[@]}").png"
        press "$box" "$key"
    done
}

# Waits for one run to end; a box beyond the scripted ones is recorded and answered.
wait_exit() {  # RUN
    local done="$run/$1.exit" i w
    for i in $(seq 1 120); do
        [ -s "$done" ] && break
        for w in $(xdotool search --onlyvisible --name '^(About )?Tolvane$' 2>/dev/null); do
            case "$seen" in *" $w "*) continue ;; esac
            seen="$seen$w "
            captions+=("$(xdotool getwindowname "$w")")
            fail "an unexpected box: ${captions[-1]}"
            press "$w" Return
        done
        sleep 0.25
    done
    if [ ! -s "$done" ]; then
        fail "tolvane.exe ($1) did not end; boxes seen: ${#captions[@]}"
        return
    fi
    [ "$(cat "$done")" = 0 ] || fail "$1: exit status $(cat "$done")"
    [ ! -s "$run/$1.console" ] || fail "$1: the console was written to: $(head -c 200 "$run/$1.console")"
}

expect_boxes() {  # COUNT: that many boxes, all "Tolvane" but the last, "About Tolvane"
    local count=$1 i
    [ ${#captions[@]} -eq "$count" ] || fail "${#captions[@]} boxes, expected $count: ${captions[*]}"
    for ((i = 0; i < ${#captions[@]}; i++)); do
        local want=Tolvane
        [ $i -eq $((count - 1)) ] && want="About Tolvane"
        [ "${captions[$i]}" = "$want" ] || fail "box $((i + 1)) is \"${captions[$i]}\", expected \"$want\""
    done
}

expect_file() {  # NAME EXPECTED-FILE
    cmp -s "$play/$1" "$2" || fail "$1 differs from $(basename "$2")"
}

expect_ini_unchanged() {
    expect_file Morrowind.ini "$SAMPLE_INI"
}

expect_older_backup() {
    [ "$(cat "$play/Morrowind.ini.old")" = $'an older backup\r' ] || fail "the older backup changed"
}

expect_no_temporary() {
    [ ! -e "$play/Morrowind.ini.old.tmp" ] || fail "the temporary backup was left"
}

# Root's rights would hide what a read-only file does to a player, so as root the case
# runs as the unprivileged account, on a copy of its folder and of tolvane.exe in that
# account's own folder. Sets $player for play_run.
player=()
become_player() {
    [ "$(id -u)" -eq 0 ] || return 0
    player_prefix
    local folder="$player_home/runs/$name"
    rm -rf "$folder" && mkdir -p "$folder"
    cp -a "$play/." "$folder/"
    cp "$TOLVANE_EXE" "$player_home/tolvane.exe"
    chown -R nobody:nogroup "$player_home/runs" "$player_home/tolvane.exe"
    play=$folder
    exe=$player_home/tolvane.exe
    player=(--via as_player --)
}

leave_player() {
    [ ${#player[@]} -eq 0 ] || as_player wineserver -k </dev/null >/dev/null 2>&1
}

# UTF-16LE of bytes 0 to 255 by iconv; the five bytes Windows-1252 leaves unassigned
# become the C1 controls of the same value, as Windows maps them.
cp1252_reference() {  # FILE
    : > "$1"
    local b hex
    for b in $(seq 0 255); do
        hex=$(printf '%02x' "$b")
        printf "\\x$hex" | iconv -f WINDOWS-1252 -t UTF-16LE >> "$1" 2>/dev/null ||
            printf "\\x$hex\\x00" >> "$1"
    done
}

# Wine takes its ANSI code page from the locale, which must exist on the host.
expect_code_page() {  # LOCALE CODE-PAGE
    (cd "$run" && LANG=$1 LC_ALL=$1 "$wine" "$DUMP_EXE" probe.utf16 probe.acp </dev/null >/dev/null 2>&1)
    local got
    got=$(tr -d '\r\n' < "$run/probe.acp" 2>/dev/null)
    [ "$got" = "$2" ] || fail "under $1 Wine's ANSI code page is '${got}', not $2 (is the locale generated?)"
}

run_case() {
    local name=$1
    wine_env
    run="$WORK/runs/$name"
    play="$run/play"
    exe=$TOLVANE_EXE
    rm -rf "$run"
    mkdir -p "$play"
    printf '%s' "$block$fps" | cat "$SAMPLE_INI" - > "$run/with-fps.ini"
    printf '%s' "$block" | cat "$SAMPLE_INI" - > "$run/without-fps.ini"
    cp "$SAMPLE_INI" "$play/Morrowind.ini"
    # Every box seen is kept as a picture for a person to look at.
    shots="$WORK/screenshots/$name"
    rm -rf "$shots" && mkdir -p "$shots"

    case "$name" in
    decline)
        play_run Return n Return Return
        expect_boxes 4
        expect_ini_unchanged
        [ ! -e "$play/Morrowind.ini.old" ] || fail "a backup was made"
        ;;
    escape-at-confirm)  # Escape answers IDCANCEL, which is not Yes
        play_run Return Escape Return Return
        expect_boxes 4
        expect_ini_unchanged
        [ ! -e "$play/Morrowind.ini.old" ] || fail "a backup was made"
        ;;
    accept-with-fps)
        play_run Return Return Return Return Return Return Return
        expect_boxes 7
        expect_file Morrowind.ini "$run/with-fps.ini"
        expect_file Morrowind.ini.old "$SAMPLE_INI"
        ;;
    accept-without-fps)
        play_run Return Return Return Return n Return Return
        expect_boxes 7
        expect_file Morrowind.ini "$run/without-fps.ini"
        expect_file Morrowind.ini.old "$SAMPLE_INI"
        ;;
    no-ini)
        rm "$play/Morrowind.ini"
        play_run Return Return Return Return Return
        expect_boxes 5
        [ -z "$(ls -A "$play")" ] || fail "files appeared: $(ls -A "$play")"
        ;;
    backup-is-a-directory)
        mkdir "$play/Morrowind.ini.old"
        play_run Return Return Return Return Return
        expect_boxes 5
        expect_ini_unchanged
        ;;
    ini-held-for-reading)  # another program holds it without sharing write: nothing is touched
        printf 'an older backup\r\n' > "$play/Morrowind.ini.old"
        mkdir "$run/helper"
        (cd "$run/helper" && "$wine" "$HOLD_EXE" ../play/Morrowind.ini ready stop \
            </dev/null >"$run/helper.txt" 2>&1) &
        local i
        for i in $(seq 1 120); do [ -e "$run/helper/ready" ] && break; sleep 0.25; done
        [ -e "$run/helper/ready" ] || fail "the helper never took hold of the file"
        play_run Return Return Return Return Return
        touch "$run/helper/stop"
        wait
        expect_boxes 5
        expect_ini_unchanged
        expect_older_backup
        expect_no_temporary
        ;;
    two-runs-at-once)
        # The first run waits at its FPS question, its block written; a second run, as a
        # player's double click starts it, cannot open the ini and touches nothing.
        printf 'an older backup\r\n' > "$play/Morrowind.ini.old"
        start_run first
        answer Return Return Return Return
        next_box || fail "the first run's FPS question never came"
        local fps_box=$box
        start_run second
        answer Return Return Return Return Return
        wait_exit second
        # Four boxes and the FPS question of the first run, then the second run's five:
        # a second run that could open the ini would have asked its own FPS question.
        [ ${#captions[@]} -eq 10 ] || fail "${#captions[@]} boxes before the second run ended, expected 10"
        [ "${captions[9]:-}" = "About Tolvane" ] || fail "the second run did not end at its about box"
        expect_file Morrowind.ini "$run/without-fps.ini"
        expect_file Morrowind.ini.old "$SAMPLE_INI"
        press "$fps_box" Return
        answer Return Return
        wait_exit first
        [ ${#captions[@]} -eq 12 ] || fail "${#captions[@]} boxes in all, expected 12"
        [ "${captions[11]:-}" = "About Tolvane" ] || fail "the first run did not end at its about box"
        expect_file Morrowind.ini "$run/with-fps.ini"
        expect_file Morrowind.ini.old "$SAMPLE_INI"
        expect_no_temporary
        ;;
    full-disk)  # room for the backup but not for the whole block
        local size
        size=$(stat -c %s "$SAMPLE_INI")
        play_run --via prlimit --fsize=$((size + 30)) -- Return Return Return Return Return Return
        expect_boxes 6
        expect_ini_unchanged
        expect_file Morrowind.ini.old "$SAMPLE_INI"
        ;;
    full-disk-during-backup)  # no room for the whole copy: the older backup stays whole
        local size
        size=$(stat -c %s "$SAMPLE_INI")
        printf 'an older backup\r\n' > "$play/Morrowind.ini.old"
        play_run --via prlimit --fsize=$((size - 100)) -- Return Return Return Return Return
        expect_boxes 5
        expect_ini_unchanged
        expect_older_backup
        expect_no_temporary
        ;;
    russian-locale)  # ANSI code page 1251: the accents must still come out right
        expect_code_page ru_RU.UTF-8 1251
        LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 play_run Return Return Return Return Return Return Return
        expect_boxes 7
        expect_file Morrowind.ini "$run/with-fps.ini"
        ;;
    cp1252-to-utf16)  # every byte value, against the host's iconv, under two code pages
        cp1252_reference "$run/reference.utf16"
        local locale
        for locale in C.UTF-8 ru_RU.UTF-8; do
            (cd "$run" && LANG=$locale LC_ALL=$locale "$wine" "$DUMP_EXE" "$locale.utf16" "$locale.acp" \
                </dev/null >/dev/null 2>&1) || fail "the converter did not run under $locale"
            cmp -s "$run/reference.utf16" "$run/$locale.utf16" ||
                fail "under $locale: $(cmp "$run/reference.utf16" "$run/$locale.utf16" 2>&1)"
        done
        ;;
    read-only-backup-as-a-player)  # a backup the player protected keeps its protection
        printf 'an older backup\r\n' > "$play/Morrowind.ini.old"
        chmod 0444 "$play/Morrowind.ini.old"
        become_player
        play_run "${player[@]}" Return Return Return Return Return
        leave_player
        expect_boxes 5
        expect_ini_unchanged
        [ "$(cat "$play/Morrowind.ini.old")" = $'an older backup\r' ] || fail "the old backup changed"
        expect_no_temporary
        ;;
    read-only-ini-as-a-player)
        # Players make Morrowind.ini read-only to keep the launcher from resetting it. The
        # run finds that out before it backs anything up: the older backup stays.
        printf 'an older backup\r\n' > "$play/Morrowind.ini.old"
        chmod 0444 "$play/Morrowind.ini"
        become_player
        play_run "${player[@]}" Return Return Return Return Return
        expect_boxes 5
        expect_ini_unchanged
        expect_older_backup
        expect_no_temporary
        # The player makes the ini writable again and runs tolvane once more. The first
        # run's program has ended, so its window ids may come again.
        chmod 0644 "$play/Morrowind.ini"
        captions=() seen=" " shots="$shots/second-run"
        mkdir -p "$shots"
        play_run "${player[@]}" Return Return Return Return Return Return Return
        leave_player
        expect_boxes 7
        expect_file Morrowind.ini "$run/with-fps.ini"
        expect_file Morrowind.ini.old "$SAMPLE_INI"
        [ -n "$(find "$play/Morrowind.ini.old" -perm -u+w)" ] || fail "the backup is read-only"
        expect_no_temporary
        ;;
    *)
        echo "no such case: $name"
        exit 2
        ;;
    esac
    report
}

report() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "passed: ${#captions[@]} boxes: ${captions[*]}"
    exit 0
}

case "${1:-}" in
setup) require_tools; setup ;;
cleanup) cleanup ;;
case) require_tools; run_case "$2" ;;
*) echo "usage: $0 setup|cleanup|case NAME"; exit 2 ;;
esac
