#!/usr/bin/env bash
# Runs tolvane.exe under Wine on a virtual X display and answers its real message boxes
# with xdotool, the way a player would with the keyboard: one case per path.
#   cases.sh setup | cleanup | case NAME
set -uo pipefail
# shellcheck source=harness.sh
. "$(dirname "$0")/harness.sh"

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
    utf16-ini)  # saved as "Unicode" by an editor: the block and the line in UTF-16LE
        { printf '\xff\xfe'; iconv -f WINDOWS-1252 -t UTF-16LE "$SAMPLE_INI"; } > "$play/Morrowind.ini"
        cp "$play/Morrowind.ini" "$run/utf16.ini"
        { cat "$run/utf16.ini"; printf '%s' "$block$fps" | iconv -f ASCII -t UTF-16LE; } > "$run/utf16-with-fps.ini"
        play_run Return Return Return Return Return Return Return
        expect_boxes 7
        expect_file Morrowind.ini "$run/utf16-with-fps.ini"
        expect_file Morrowind.ini.old "$run/utf16.ini"
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
        (cd "$run/helper" && timeout 60 "$wine" "$HOLD_EXE" ../play/Morrowind.ini ready stop \
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
        make_second_prefix
        two_runs 0 "$SAMPLE_INI" "$run/older-backup" "$second_prefix"
        ;;
    native-run-then-wine-run)  # both builds in one folder: the second run is refused
        printf 'an older backup\r\n' > "$play/Morrowind.ini.old"
        mkfifo "$run/answers"
        # Scripted with no terminal: off the display, or it would show the desktop's dialogs.
        (cd "$play" && exec env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$NATIVE_TOLVANE" \
            <"$run/answers" >"$run/native.txt" 2>&1) &
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
    started-as-a-file-manager-starts-it)
        # `start`, as a file manager or a shortcut starts a program, makes a console for
        # this run alone: it must not stay open over the first box and take its keyboard.
        # The box is then the only window.
        # The run starts in the exe's folder, the game's, whatever folder start is run in.
        cp "$exe" "$play/tolvane.exe"
        launch=(env -C "$run" "$wine" start /wait /unix "$play/tolvane.exe")
        start_run main
        next_box || fail "the first box never came"
        sleep 1
        local other
        other=$(xdotool search --onlyvisible --name . 2>/dev/null | grep -vx "$box" | head -n 1 || true)
        [ -z "$other" ] || fail "a window besides the box is open: $(xdotool getwindowname "$other")"
        # Return with no click. Which window the keyboard goes to first is the window
        # manager's choice, and none runs here: the box is given it, as one would. Now and
        # then, after other cases' Wine servers, Wine takes no key into it until it is
        # clicked, as in two_runs; the click is then made and said.
        press "$box" Return
        local i
        for i in $(seq 1 12); do xdotool getwindowname "$box" >/dev/null 2>&1 || break; sleep 0.25; done
        if xdotool getwindowname "$box" >/dev/null 2>&1; then
            echo "the first box took no key until clicked"
            xdotool mousemove --window "$box" 60 40 click 1 2>/dev/null
            press "$box" Return
        fi
        answer Return Return Return Return Return Return
        wait_exit main
        expect_boxes 7
        expect_file Morrowind.ini "$run/with-fps.ini"
        expect_file Morrowind.ini.old "$SAMPLE_INI"
        rm "$play/tolvane.exe"
        ;;
    full-disk)  # room for the backup but not for the whole block
        local size
        size=$(stat -c %s "$SAMPLE_INI")
        play_run --via prlimit --fsize=$((size + 30)) -- Return Return Return Return Return Return
        expect_boxes 6
        expect_ini_unchanged
        expect_file Morrowind.ini.old "$SAMPLE_INI"
        ;;
    full-disk-at-a-page-boundary)
        # A real full disk, the ini exactly one page long and room for its backup only: the
        # block fails whole, and the file, already at its length, needs no cut-back.
        [ "$(id -u)" -eq 0 ] || { echo "skipped: mounting a small disk needs root"; exit "$SKIP"; }
        mkdir "$run/disk" && mount -t tmpfs -o size=64k,mode=0755 tmpfs "$run/disk" || fail "no small disk"
        play="$run/disk"
        { cat "$SAMPLE_INI"; head -c $((4096 - $(stat -c %s "$SAMPLE_INI"))) /dev/zero | tr '\0' ';'; } > "$play/Morrowind.ini"
        cp "$play/Morrowind.ini" "$run/page.ini"
        head -c 1M /dev/zero > "$play/filler" 2>/dev/null
        truncate -s $(($(stat -c %s "$play/filler") - 4096)) "$play/filler"
        launch=(bash -c 'WINEDEBUG=trace+msgbox "$@" 2>&1 | grep -a MSGBOX_OnInit > "$0"' "$run/texts" "$wine" "$exe")
        start_run main
        answer Return Return Return Return Return Return
        wait_exit main
        expect_boxes 6
        expect_file Morrowind.ini "$run/page.ini"
        expect_file Morrowind.ini.old "$run/page.ini"
        grep -q 'disque plein' "$run/texts" || fail "the box after the append is not the cut-back one: $(tail -n 2 "$run/texts")"
        umount "$run/disk"
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
            (cd "$run" && LANG=$locale LC_ALL=$locale timeout 60 "$wine" "$DUMP_EXE" "$locale.utf16" "$locale.acp" \
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

case "${1:-}" in
setup) require_wine; setup ;;
cleanup) cleanup ;;
case) require_wine; run_case "$2" ;;
*) echo "usage: $0 setup|cleanup|case NAME"; exit 2 ;;
esac
