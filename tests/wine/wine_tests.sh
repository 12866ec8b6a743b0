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
# shellcheck source=../x11_boxes.sh
. "$(dirname "$0")/../x11_boxes.sh"
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
    if [ "$wine" = wine ] && ! dpkg -s wine32:i386 >/dev/null 2>&1; then
        echo "wine32:i386 is not installed, so Wine cannot run tolvane.exe"
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
    start_display "$state" || exit 1

    rm -rf "$prefix"
    # The unprivileged player's folder is under the system's temporary folder, which that
    # account can reach wherever the checkout is (root's home folder is closed to it).
    mktemp -d "${TMPDIR:-/tmp}/tolvane-player-XXXXXX" > "$state/player_home"
    wine_env
    "$wine" wineboot -i </dev/null >"$state/wineboot.log" 2>&1 || { echo "wineboot failed"; exit 1; }
    # No window manager runs, so let Wine draw the captions itself: they show on screenshots.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >>"$state/wineboot.log" 2>&1
    # Wine draws the close button with its own Marlett font, which it finds in the prefix.
    cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null ||
        echo "no Marlett font: the close button shows as a letter"
    wineserver -w
    # One server for the whole run, started here so that no test's limits or files leak into it.
    setsid wineserver -p </dev/null >/dev/null 2>&1
    echo "Wine prefix ready on display $(cat "$state/display")"
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
    WINEPREFIX="$WORK/second-prefix" wineserver -k </dev/null >/dev/null 2>&1
    if [ -n "$player_home" ] && [ -d "$player_home" ]; then
        DISPLAY= as_player wineserver -k </dev/null >/dev/null 2>&1
        rm -rf "$player_home"
    fi
    stop_display "$state"
    rm -rf "$state"
}

# --- driving one run -------------------------------------------------------

# Starts tolvane.exe in $play (optionally through a command such as prlimit), and
# answers one box per key given.
play_run() {  # KEY... (after an optional "--via CMD... --")
    launch=()
    if [ "${1:-}" = --via ]; then
        shift
        while [ "$1" != -- ]; do launch+=("$1"); shift; done
        shift
    fi
    launch+=("$wine" "$exe")
    start_run main
    answer "$@"
    wait_exit main
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

# Two runs at once: the first is answered up to a box and waits there; the second, as a
# player's double click starts it, or from a second Wine prefix, cannot open the ini or
# lock it for writing, and touches nothing (a second run that could would have shown
# more than five boxes); then the first is answered to its end. A box is told from the
# other run's by its window.
two_runs() {  # KEYS-BEFORE-THE-SECOND INI-MEANWHILE BACKUP-MEANWHILE [SECOND-RUN'S-PREFIX]
    printf 'an older backup\r\n' | tee "$run/older-backup" > "$play/Morrowind.ini.old"
    local returns=(Return Return Return Return Return Return Return)
    launch=("$wine" "$exe")
    start_run first
    answer "${returns[@]:0:$1}"
    next_box || fail "the first run's box $(($1 + 1)) never came"
    local waiting=$box
    [ -z "${4:-}" ] || launch=(env WINEPREFIX="$4" "$wine" "$exe")
    start_run second
    answer "${returns[@]:0:5}"
    wait_exit second
    [ ${#captions[@]} -eq $(($1 + 6)) ] || fail "${#captions[@]} boxes before the second run ended"
    [ "${captions[-1]:-}" = "About Tolvane" ] || fail "the second run did not end at its about box"
    expect_file Morrowind.ini "$2"
    expect_file Morrowind.ini.old "$3"
    # Wine takes no key into a box of its own that lost the focus to another Wine server's
    # window until the box is clicked, as a player would.
    xdotool mousemove --window "$waiting" 60 40 click 1 2>/dev/null
    press "$waiting" Return
    answer "${returns[@]:0:$((6 - $1))}"
    wait_exit first
    [ ${#captions[@]} -eq 12 ] || fail "${#captions[@]} boxes in all, expected 12"
    [ "${captions[11]:-}" = "About Tolvane" ] || fail "the first run did not end at its about box"
    expect_file Morrowind.ini "$run/with-fps.ini"
    expect_file Morrowind.ini.old "$SAMPLE_INI"
    expect_no_temporary
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
    accept-with-fps)  # under a French locale, as a French player sees it: Oui and Non
        expect_code_page fr_FR.UTF-8 1252
        LANG=fr_FR.UTF-8 LC_ALL=fr_FR.UTF-8 play_run Return Return Return Return Return Return Return
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
        # The first run waits at its FPS question, its block written, when the second starts.
        two_runs 4 "$run/without-fps.ini" "$SAMPLE_INI"
        ;;
    two-runs-at-their-first-box)
        # A double-click seen twice: both runs show their first box before either is answered.
        two_runs 0 "$SAMPLE_INI" "$run/older-backup"
        ;;
    two-prefixes)
        # Proton's prefix and ~/.wine on one game folder: two Wine servers, which see only
        # each other's locks on the Linux file. The later run is answered first.
        local second="$WORK/second-prefix"
        if [ ! -f "$second/system.reg" ]; then
            WINEPREFIX=$second "$wine" wineboot -i </dev/null >"$state/second-wineboot.log" 2>&1 ||
                fail "wineboot of the second prefix failed"
            WINEPREFIX=$second "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
                </dev/null >>"$state/second-wineboot.log" 2>&1
        fi
        two_runs 0 "$SAMPLE_INI" "$run/older-backup" "$second"
        WINEPREFIX=$second wineserver -k </dev/null >/dev/null 2>&1
        ;;
    native-run-then-wine-run)  # both builds in one folder: the second run is refused
        printf 'an older backup\r\n' > "$play/Morrowind.ini.old"
        mkfifo "$run/answers"
        (cd "$play" && exec "$NATIVE_TOLVANE" <"$run/answers" >"$run/native.txt" 2>&1) &
        local native=$! i
        exec 3>"$run/answers"
        for i in $(seq 1 100); do grep -q 'Programme cr' "$run/native.txt" && break; sleep 0.1; done
        play_run Return Return Return Return Return
        expect_boxes 5
        expect_ini_unchanged
        expect_older_backup
        printf '\n\n\n\n\n\n\n' >&3
        exec 3>&-
        wait "$native" || fail "the native run's exit status is $?"
        grep -q $'mis \xc3\xa0 jour' "$run/native.txt" || fail "the native run did not say \"mis à jour\""
        expect_file Morrowind.ini "$run/with-fps.ini"
        expect_file Morrowind.ini.old "$SAMPLE_INI"
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
    read-only-ini-as-a-player | read-only-ini-as-root)
        # Players make Morrowind.ini read-only to keep the launcher from resetting it. The
        # run finds that out before it backs anything up: the older backup stays. Root's
        # Wine could write it: the attribute itself refuses.
        printf 'an older backup\r\n' > "$play/Morrowind.ini.old"
        chmod 0444 "$play/Morrowind.ini"
        [ "$name" = read-only-ini-as-root ] || become_player
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
