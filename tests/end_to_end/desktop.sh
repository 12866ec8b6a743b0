#!/usr/bin/env bash
# Started as from a file manager, on an Xvfb desktop: zenity and kdialog answered by
# xdotool; an accepted run's boxes saved in PICTURES, with their title bars when
# TOLVANE_WINDOW_MANAGER names a window manager to run meanwhile.
#   desktop.sh PROGRAM SAMPLE [PICTURES]
# shellcheck source=common.sh
. "$(dirname "$0")/common.sh" "$@"

# shellcheck source=../x11_boxes.sh
. "$here/../x11_boxes.sh"

# A folder on PATH holding only the named programs, each a link to the real one (NAME=PATH:
# a link named NAME to PATH) or, for "dies", "aborts" and "fails", a zenity stand-in that
# is killed, aborts as a toolkit does that cannot open its display, or exits 5 (zenity's
# time-out), and for "broken-terminal" an x-terminal-emulator that exits 1 at once.
dialog_path() {  # NAME...
    local folder=$scratch/path-$RANDOM name
    mkdir -p "$folder"
    for name in "$@"; do
        case "$name" in
        dies) printf '#!/bin/sh\nkill -9 $$\n' > "$folder/zenity" ;;
        aborts) printf '#!/bin/sh\nulimit -c 0\nkill -ABRT $$\n' > "$folder/zenity" ;;
        fails) printf '#!/bin/sh\nexit 5\n' > "$folder/zenity" ;;
        broken-terminal) printf '#!/bin/sh\nexit 1\n' > "$folder/x-terminal-emulator" ;;
        *=*) ln -s "${name#*=}" "$folder/${name%%=*}" ;;
        *) ln -s "$(command -v "$name")" "$folder/$name" ;;
        esac
    done
    [ $# -eq 0 ] || chmod 755 "$folder"/*
    echo "$folder"
}

# As Dolphin starts a program: a session of its own with no terminal, and standard input
# a pipe whose other end Dolphin holds open until the run ends.
as_dolphin_starts() {  # COMMAND...
    rm -f "$run/dolphin.fifo" && mkfifo "$run/dolphin.fifo"
    exec 7<>"$run/dolphin.fifo"
    setsid -w "$@" <"$run/dolphin.fifo" 7>&-
}

# One desktop run: KEYS answer its boxes in turn; the files and boxes are then checked.
desktop_run() {  # NAME PATH BOXES INI-AFTER-THE-SAMPLE BACKUP KEY...
    local name=$1 path=$2 boxes=$3 after=$4 backup=$5
    shift 5
    fresh_folder "$stale"
    captions=() seen=" "
    launch=("${starter[@]}" env PATH="$path" "$program")
    start_run "$name"
    answer "$@"
    wait_exit "$name"
    [ ${#captions[@]} -eq "$boxes" ] || fail "$name: ${#captions[@]} boxes, expected $boxes: ${captions[*]}"
    [ "$boxes" -eq 0 ] || [ "${captions[$((boxes - 1))]:-}" = "About Tolvane" ] ||
        fail "$name: the last box is not About"
    expect_ini "$name" "$after"
    case "$backup" in
    older) same Morrowind.ini.old "$stale" || fail "$name: the older backup changed" ;;
    new) cmp -s Morrowind.ini.old "$sample" || fail "$name: the backup is not the original" ;;
    esac
}

starter=()  # what starts a desktop run, before its PATH and the program

desktop_cases() {
    require_tools Xvfb xdotool zenity kdialog strace xterm xfce4-terminal konsole
    local pictures=${1:-}
    [ -z "$pictures" ] || { rm -rf "$pictures" && mkdir -p "$pictures"; }
    mkdir -p "$scratch/state"
    start_display "$scratch/state" || exit 1
    trap 'stop_display "$scratch/state"; rm -rf "$scratch"' EXIT
    export DISPLAY
    DISPLAY=$(cat "$scratch/state/display")
    unset WAYLAND_DISPLAY
    run=$scratch/runs play=$scratch
    mkdir -p "$run"
    local zenity kdialog
    zenity=$(dialog_path zenity)
    kdialog=$(dialog_path kdialog)

    shots=${pictures:-}
    [ -z "$shots" ] || [ -z "${TOLVANE_WINDOW_MANAGER:-}" ] || start_window_manager "$TOLVANE_WINDOW_MANAGER"
    desktop_run accepted "$zenity" 7 "$block$fps" new Return Return Return Return Return Return Return
    stop_window_manager
    shots=
    desktop_run declined-with-escape "$zenity" 4 "" older Return Escape Return Return
    desktop_run fps-declined "$zenity" 7 "$block" new Return Return Return Return Escape Return Return
    desktop_run question-window-closed "$zenity" 4 "" older Return close Return Return
    desktop_run fps-window-closed "$zenity" 7 "$block" new Return Return Return Return close Return Return
    # A session whose locale is not UTF-8, as some minimal desktops start programs.
    LC_ALL=C LANG=C desktop_run locale-not-utf8 "$zenity" 4 "" older Return Escape Return Return
    LC_ALL= LANG=de_DE.UTF-8 desktop_run locale-not-installed "$zenity" 4 "" older Return Escape Return Return
    desktop_run dialog-dies "$(dialog_path dies)" 0 "" older
    desktop_run dialog-fails "$(dialog_path fails)" 0 "" older
    starter=(as_dolphin_starts)
    desktop_run started-as-dolphin-starts-it "$zenity" 7 "$block$fps" new Return Return Return Return Return Return Return
    starter=()

    # No ini: the error box, and nothing created.
    rm -f Morrowind.ini Morrowind.ini.old
    captions=() seen=" "
    launch=(env PATH="$zenity" "$program")
    start_run no-ini
    answer Return Return Return Return Return
    wait_exit no-ini
    [ ${#captions[@]} -eq 5 ] || fail "no-ini: ${#captions[@]} boxes, expected 5"
    [ ! -e Morrowind.ini ] && [ ! -e Morrowind.ini.old ] || fail "no-ini: a file was created"

    # kdialog now and then crashes on start under Xvfb; with no other dialog program the
    # run counts that box as not shown, so a run that lost a box is tried again. Behind a
    # zenity that aborts, every box must come from kdialog.
    local try case path
    for case in kdialog-without-zenity kdialog-after-zenity-aborts; do
        path=$kdialog
        [ "$case" = kdialog-without-zenity ] || path=$(dialog_path aborts kdialog)
        for try in 1 2 3; do
            local before=$failures
            desktop_run "$case#$try" "$path" 7 "$block$fps" new Return Return Return Return Return Return Return
            [ "$failures" -eq "$before" ] && break
            [ "$try" -lt 3 ] && failures=$before && echo "$case run $try lost a box; trying again"
        done
    done

    # No dialog program: a terminal window, whatever the folder's name holds, in UTF-8
    # whatever the session's locale, and after a terminal that fails.
    terminal_window in-a-terminal-window "$(dialog_path xterm)" xterm .
    terminal_window through-xfce4-wrapper \
        "$(dialog_path x-terminal-emulator=/usr/bin/xfce4-terminal.wrapper xfce4-terminal)" \
        xfce4-terminal "Program Files (x86)/Jeu d'été"
    terminal_window konsole-and-a-dollar "$(dialog_path konsole)" konsole 'Jeux $HOME "GOTY"'
    terminal_window xterm-without-a-locale "$(dialog_path xterm)" xterm . env -u LC_ALL -u LANG -u LC_CTYPE
    terminal_window broken-terminal-then-xterm "$(dialog_path broken-terminal xterm)" xterm .

    # A piped run on a desktop, typed at a terminal, keeps the terminal box and opens no
    # window.
    fresh_folder
    local socket="tolvane-test-$$"
    tmux -L "$socket" -f /dev/null new-session -d -x 100 -y 50 -c "$scratch" \
        "printf '$accept_all' | timeout --foreground 60 '$program' > screen.txt; echo \$? > piped.exit"
    local i
    for i in $(seq 1 100); do [ -s piped.exit ] && break; sleep 0.1; done
    tmux -L "$socket" kill-server 2>/dev/null || true
    [ "$(cat piped.exit 2>/dev/null)" = 0 ] || fail "piped-on-a-desktop: exit status $(cat piped.exit 2>/dev/null)"
    [ "$(grep -c '^┌' screen.txt)" -eq 7 ] || fail "piped-on-a-desktop: $(grep -c '^┌' screen.txt) boxes, expected 7"
    expect_ini piped-on-a-desktop "$block$fps"
    [ -z "$(xdotool search --onlyvisible --name "$box_titles" 2>/dev/null)" ] ||
        fail "piped-on-a-desktop: a window was opened"
    rm -f piped.exit

    # On a desktop with neither a dialog program nor a terminal emulator, the boxes go to
    # the output nobody reads; with no desktop and no terminal, the run ends at once. No
    # answer is read either way: the run declines, touching nothing.
    declines_untouched "no dialog, no terminal" 4 setsid -w timeout 10 env PATH="$(dialog_path)" "$program"
    declines_untouched "no desktop, no terminal" - env -u DISPLAY timeout 10 "$program"

    dialog_texts_are_utf8 "$zenity"
}

# A run nobody can answer: its exit status, the boxes it drew (- for any number), and
# both files as they were.
declines_untouched() {  # NAME BOXES COMMAND...
    local name=$1 boxes=$2 status=0
    shift 2
    fresh_folder "$stale"
    ("$@" </dev/null >nothing.txt 2>&1) || status=$?
    [ "$status" -eq 0 ] || fail "$name: exit status $status"
    [ "$boxes" = - ] || [ "$(grep -c '^┌' nothing.txt)" -eq "$boxes" ] ||
        fail "$name: $(grep -c '^┌' nothing.txt) boxes, expected $boxes"
    cmp -s Morrowind.ini "$sample" || fail "$name: Morrowind.ini changed"
    same Morrowind.ini.old "$stale" || fail "$name: the older backup changed"
}

# No dialog program: a run started as from a file manager opens a window of the first
# terminal on PATH that starts it. The program is unpacked beside Morrowind.ini, as
# players do, in FOLDER under the scratch folder; the terminal box is answered in the
# window with the keyboard. The run in the window is that program, in FOLDER, and its
# terminal runs in a UTF-8 locale.
terminal_window() {  # NAME PATH WINDOW-CLASS FOLDER [COMMAND-BEFORE...]
    local name=$1 path=$2 class=$3 folder=$scratch/$4
    shift 4
    folder=$(realpath -m "$folder")
    mkdir -p "$folder"
    cd "$folder"
    fresh_folder
    cp "$program" "$folder/tolvane"
    local play=$folder program=$folder/tolvane
    launch=("$@" env PATH="$path" "$program")
    start_run "$name"
    local i window="" inner=""
    for i in $(seq 1 120); do
        window=$(xdotool search --onlyvisible --class "$class" 2>/dev/null | head -n 1 || true)
        inner=$(run_in_a_window)
        [ -n "$window" ] && [ -n "$inner" ] && break
        sleep 0.25
    done
    if [ -z "$window" ] || [ -z "$inner" ]; then
        fail "$name: no $class window runs the program"
    else
        [ "$(readlink "/proc/$inner/cwd" 2>/dev/null)" = "$folder" ] ||
            fail "$name: the program runs in another folder: $(readlink "/proc/$inner/cwd")"
        local terminal charmap
        terminal=$(ps -o ppid= -p "$inner" | tr -d ' ')
        charmap=$(env -i $(tr '\0' '\n' < "/proc/$terminal/environ" | grep -E '^(LANG|LC_[A-Z]+)=') locale charmap)
        [ "$charmap" = UTF-8 ] || fail "$name: the terminal runs in $charmap"
        sleep 1
        [ -z "${shots:-}" ] || [ "$name" != in-a-terminal-window ] || import -window "$window" "$shots/terminal-window.png"
        for i in 1 2 3 4 5 6 7; do press "$window" Return; sleep 0.3; done
    fi
    wait_exit "$name"
    for i in $(seq 1 40); do [ -z "$(run_in_a_window)" ] && break; sleep 0.25; done
    expect_ini "$name" "$block$fps"
    cmp -s Morrowind.ini.old "$sample" || fail "$name: the backup is not the original"
    rm -f "$program"
    cd "$scratch"
}

# The process id of this program running in a terminal window, if any.
run_in_a_window() {
    local process
    for process in /proc/[0-9]*; do
        [ "$(readlink "$process/exe" 2>/dev/null)" = "$program" ] &&
            grep -qa TOLVANE_OPENED_IN_A_TERMINAL_WINDOW "$process/environ" 2>/dev/null &&
            { echo "${process#/proc/}"; return; }
    done
    return 0
}

# The FPS question's text as zenity receives it, read from its execve with strace,
# against the same text written here in UTF-8 bytes.
dialog_texts_are_utf8() {  # PATH
    strace_env
    fresh_folder
    launch=(strace -f -qq -xx -s 4096 -e trace=execve -o "$scratch/execve.txt" env PATH="$1" "$program")
    captions=() seen=" "
    start_run texts
    answer Return Return Return Return Return Return Return
    wait_exit texts
    local expected
    expected=$(printf '%s' "--text=Souhaitez vous voir afficher le nombre de FPS (images par secondes) dans le coin inf"$'\xc3\xa9'"rieur droit de l'"$'\xc3\xa9'"cran ?" |
        od -An -tx1 -v | tr -d ' \n' | sed 's/../\\x&/g')
    grep -q -F "\"$expected\"" "$scratch/execve.txt" || fail "the FPS question did not reach zenity as UTF-8"
}

desktop_cases "${3:-}"
finish desktop
