# Setting up Wine for the cases of cases.sh and driving one run of tolvane.exe: the
# shared Xvfb display and Wine prefix, an unprivileged player's own prefix, a second
# prefix, starting a run and checking its files. Sourced by cases.sh.
# Paths come from the environment that CTest sets: TOLVANE_EXE, HOLD_EXE, DUMP_EXE, READ_KEYS_EXE, ELEVATION_EXE,
# SAMPLE_INI, WORK (a folder in the build tree shared by one test run), and WINE_LOADER,
# the command that runs a program of the build's kind (wine, or the 64-bit loader).
# Every program started here has a time limit, so a run that hangs fails its case.

SKIP=77
wine=${WINE_LOADER:-wine}
# shellcheck source=../x11_boxes.sh
. "$(dirname "${BASH_SOURCE[0]}")/../x11_boxes.sh"
state="$WORK/state"
prefix="$WORK/prefix"
second_prefix="$WORK/second-prefix"  # made by the one case that needs it
block=$'\r\n\r\nMin FPS=15\r\nMaX FPS=85\r\nInterior Cell Buffer=0\r\nExterior Cell Buffer=0\r\n'
fps=$'Show FPS=1\r\n'
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

require_wine() {
    require_tools "$wine" wineserver Xvfb xdotool import prlimit iconv
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
    timeout 300 "$wine" wineboot -i </dev/null >"$state/wineboot.log" 2>&1 || { echo "wineboot failed"; exit 1; }
    # No window manager runs, so let Wine draw the captions itself: they show on screenshots.
    timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >>"$state/wineboot.log" 2>&1
    # Wine draws the close button with its own Marlett font, which it finds in the prefix.
    cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null ||
        echo "no Marlett font: the close button shows as a letter"
    timeout 60 wineserver -w
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
    as_player timeout 300 "$wine" wineboot -i </dev/null >"$state/player-wineboot.log" 2>&1 || fail "wineboot as a player failed"
    as_player timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null \
        >>"$state/player-wineboot.log" 2>&1
}

cleanup() {
    [ -d "$state" ] || exit 0
    WINEPREFIX="$prefix" wineserver -k </dev/null >/dev/null 2>&1
    WINEPREFIX="$second_prefix" wineserver -k </dev/null >/dev/null 2>&1
    if [ -n "$player_home" ] && [ -d "$player_home" ]; then
        DISPLAY= as_player wineserver -k </dev/null >/dev/null 2>&1
        rm -rf "$player_home"
    fi
    stop_display "$state"
    rm -rf "$state"
}

# A prefix of its own, and so a Wine server of its own, as Proton's beside ~/.wine.
make_second_prefix() {
    if [ ! -f "$second_prefix/system.reg" ]; then
        WINEPREFIX=$second_prefix timeout 300 "$wine" wineboot -i </dev/null >"$state/second-wineboot.log" 2>&1 ||
            fail "wineboot of the second prefix failed"
        WINEPREFIX=$second_prefix timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
            </dev/null >>"$state/second-wineboot.log" 2>&1
    fi
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

# The five keys, read from the ini as the game reads them, through the profile API.
expect_keys_read() {  # [SHOW-FPS-VALUE]
    (cd "$play" && timeout 60 "$wine" "$READ_KEYS_EXE" Morrowind.ini ../keys.txt </dev/null >/dev/null 2>&1) ||
        fail "the key reader did not run"
    [ "$(tr -d '\r' < "$run/keys.txt" 2>/dev/null)" = "Min FPS=15
MaX FPS=85
Interior Cell Buffer=0
Exterior Cell Buffer=0
Show FPS=${1:-1}" ] || fail "the game would read: $(tr '\n' ' ' < "$run/keys.txt" 2>/dev/null)"
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
    (cd "$run" && LANG=$1 LC_ALL=$1 timeout 60 "$wine" "$DUMP_EXE" probe.utf16 probe.acp </dev/null >/dev/null 2>&1)
    local got
    got=$(tr -d '\r\n' < "$run/probe.acp" 2>/dev/null)
    [ "$got" = "$2" ] || fail "under $1 Wine's ANSI code page is '${got}', not $2 (is the locale generated?)"
}

report() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "passed: ${#captions[@]} boxes: ${captions[*]}"
    exit 0
}
