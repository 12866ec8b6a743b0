# The cases where the disk or the files' permissions refuse part of a run.
# Each case_NAME is run by cases.sh, after run_case has laid out its folder.
# shellcheck shell=bash

# Room for the backup but not for the whole block.
case_full_disk() {
    local size
    size=$(stat -c %s "$SAMPLE_INI")
    play_run --via prlimit --fsize=$((size + 30)) -- Return Return Return Return Return Return
    expect_boxes 6
    expect_ini_unchanged
    expect_file Morrowind.ini.old "$SAMPLE_INI"
}

case_full_disk_at_a_page_boundary() {
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
}

# No room for the whole copy: the older backup stays whole.
case_full_disk_during_backup() {
    local size
    size=$(stat -c %s "$SAMPLE_INI")
    printf 'an older backup\r\n' > "$play/Morrowind.ini.old"
    play_run --via prlimit --fsize=$((size - 100)) -- Return Return Return Return Return
    expect_boxes 5
    expect_ini_unchanged
    expect_older_backup
    expect_no_temporary
}

# A backup the player protected keeps its protection.
case_read_only_backup_as_a_player() {
    printf 'an older backup\r\n' > "$play/Morrowind.ini.old"
    chmod 0444 "$play/Morrowind.ini.old"
    become_player
    play_run "${player[@]}" Return Return Return Return Return
    leave_player
    expect_boxes 5
    expect_ini_unchanged
    [ "$(cat "$play/Morrowind.ini.old")" = $'an older backup\r' ] || fail "the old backup changed"
    expect_no_temporary
}

case_read_only_ini_as_a_player() {
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
}
case_read_only_ini_as_root() { case_read_only_ini_as_a_player; }

