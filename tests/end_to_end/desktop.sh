#!/usr/bin/env bash
# Started as from a file manager, on an Xvfb desktop: zenity and kdialog answered by
# xdotool; an accepted run's boxes saved in PICTURES, with their title bars when
# TOLVANE_WINDOW_MANAGER names a window manager to run meanwhile.
#   desktop.sh PROGRAM SAMPLE [PICTURES]
# shellcheck source=common.sh
. "$(dirname "$0")/common.sh" "$@"

# shellcheck source=../x11_boxes.sh
. "$here/../x11_boxes.sh"

# A folder on PATH holding only the named programs, each a link to the real one or, for
# "dies" and "fails", a stand-in that is killed or exits 5 (zenity's time-out).
dialog_path() {  # NAME...
    local folder=$scratch/path-$RANDOM name
    mkdir -p "$folder"
    for name in "$@"; do
        case "$name" in
        dies) printf '#!/bin/sh\nkill -9 $$\n' > "$folder/zenity" ;;
        fails) printf '#!/bin/sh\nexit 5\n' > "$folder/zenity" ;;
        *) ln -s "$(command -v "$name")" "$folder/$name" ;;
        esac
    done
    chmod 755 "$folder"/*
    echo "$folder"
}

# One desktop run: KEYS answer its boxes in turn; the files and boxes are then checked.
desktop_run() {  # NAME PATH BOXES INI-AFTER-THE-SAMPLE BACKUP KEY...
    local name=$1 path=$2 boxes=$3 after=$4 backup=$5
    shift 5
    fresh_folder "$stale"
    captions=() seen=" "
    launch=(env PATH="$path" "$program")
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

desktop_cases() {
    require_tools Xvfb xdotool zenity kdialog strace
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

    # No ini: the error box, and nothing created.
    rm -f Morrowind.ini Morrowind.ini.old
    captions=() seen=" "
    launch=(env PATH="$zenity" "$program")
    start_run no-ini
    answer Return Return Return Return Return
    wait_exit no-ini
    [ ${#captions[@]} -eq 5 ] || fail "no-ini: ${#captions[@]} boxes, expected 5"
    [ ! -e Morrowind.ini ] && [ ! -e Morrowind.ini.old ] || fail "no-ini: a file was created"

    # kdialog now and then crashes on start under Xvfb; the program counts that box as
    # not shown, so a run that lost a box is tried again.
    local try
    for try in 1 2 3; do
        local before=$failures
        desktop_run "kdialog-without-zenity#$try" "$kdialog" 7 "$block$fps" new \
            Return Return Return Return Return Return Return
        [ "$failures" -eq "$before" ] && break
        [ "$try" -lt 3 ] && failures=$before && echo "kdialog run $try lost a box; trying again"
    done

    # A piped run on a desktop keeps the terminal box and opens no window.
    fresh_folder
    run piped-on-a-desktop "$accept_all" 7
    expect_ini piped-on-a-desktop "$block$fps"
    [ -z "$(xdotool search --onlyvisible --name "$box_titles" 2>/dev/null)" ] ||
        fail "piped-on-a-desktop: a window was opened"

    # No desktop and no terminal: the run ends at once, touching nothing.
    fresh_folder "$stale"
    local status=0
    env -u DISPLAY timeout 10 "$program" </dev/null >/dev/null 2>&1 || status=$?
    [ "$status" -eq 0 ] || fail "no desktop, no terminal: exit status $status"
    cmp -s Morrowind.ini "$sample" || fail "no desktop, no terminal: Morrowind.ini changed"
    same Morrowind.ini.old "$stale" || fail "no desktop, no terminal: the older backup changed"

    dialog_texts_are_utf8 "$zenity"
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
