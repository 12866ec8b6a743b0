#!/usr/bin/env bash
# Two runs at once, one held at a box or stopped inside its backup; an ini replaced or
# made read-only under a run; a terminal closed at a box; hangups.
#   interrupted.sh PROGRAM SAMPLE
# shellcheck source=common.sh
. "$(dirname "$0")/common.sh" "$@"

# The second run finds the ini held and touches nothing.
second_run_is_refused() {  # NAME INI-BYTES-AFTER-THE-SAMPLE OLDER-BACKUP-FILE
    run "$1" "$accept_all" 5
    grep -q "n'a pas pu être ouvert" screen.txt || fail "$1: the second run was not refused"
    expect_ini "$1" "$2"
    cmp -s Morrowind.ini.old "$3" || fail "$1: the second run changed Morrowind.ini.old"
}

first_run_ends_whole() {  # NAME
    expect_ini "$1" "$block$fps"
    cmp -s Morrowind.ini.old "$sample" || fail "$1: the backup is not the original"
    [ ! -e Morrowind.ini.old.tmp ] || fail "$1: the temporary backup was left"
    grep -q $'mis \xc3\xa0 jour' first.txt || fail "$1: the first run did not say \"mis à jour\""
}

held_at_fps_question() {
    fresh_folder "$stale"
    start_held_run first 3
    printf '\n\n\n\n' >&3
    wait_for first.txt 'Souhaitez vous' || return
    second_run_is_refused "second run while the first waits at its FPS question" "$block" "$sample"
    finish_held_run 3 '\n\n\n'
    first_run_ends_whole "first run held at its FPS question"
}

# A double-click seen twice: both runs show their first box, then are answered in turn,
# either one first. The one started second found the ini held, and touches nothing.
two_runs_at_their_first_box() {  # FIRST-ANSWERED: first or second
    fresh_folder "$stale"
    start_held_run first 3
    wait_for first.txt 'Programme cr' || return
    start_held_run second 4
    wait_for second.txt 'Programme cr' || return
    local refused='\n\n\n\n\n'
    if [ "$1" = first ]; then
        finish_held_run 3 "$accept_all"
        finish_held_run 4 "$refused"
    else
        finish_held_run 4 "$refused"
        finish_held_run 3 "$accept_all"
    fi
    grep -q "n'a pas pu être ouvert" second.txt || fail "$1 answered first: the second run was not refused"
    first_run_ends_whole "$1 answered first"
}

# The player makes the ini read-only while the first box shows: the Yes finds out, and
# nothing is touched, whoever runs the program.
read_only_at_the_first_box() {
    fresh_folder "$stale"
    start_held_run first 3
    wait_for first.txt 'Programme cr' || return
    chmod 0444 Morrowind.ini
    finish_held_run 3 '\n\n\n\n\n'
    grep -q "n'a pas pu être ouvert" first.txt || fail "read-only at the first box: the run was not refused"
    cmp -s Morrowind.ini "$sample" || fail "read-only at the first box: Morrowind.ini changed"
    same Morrowind.ini.old "$stale" || fail "read-only at the first box: the older backup changed"
}

# An editor saves a new Morrowind.ini in its place while the run shows "La copie a été
# correctement effectuée": the new file is left alone, and no success is reported.
replaced_at_backup_done() {
    fresh_folder "$stale"
    start_held_run first 3
    printf '\n\n\n' >&3
    wait_for first.txt 'La copie a' || return
    printf 'saved by an editor\r\n' > saved.tmp && mv saved.tmp Morrowind.ini
    finish_held_run 3 '\n\n\n'
    same Morrowind.ini $'saved by an editor\r\n' || fail "replaced at backup done: the new ini changed"
    cmp -s Morrowind.ini.old "$sample" || fail "replaced at backup done: the backup is not the original"
    ! grep -q $'mis \xc3\xa0 jour' first.txt || fail "replaced at backup done: \"mis à jour\" shown"
}

# A launcher saves its settings while the first box shows, then the block cannot be
# written: the ini is cut back to what was backed up, the launcher's edit included.
edited_before_backup_then_append_fails() {
    strace_env
    fresh_folder "$stale"
    local via=(strace -qq -o /dev/null -P "$scratch/Morrowind.ini" -e trace=write
               -e inject=write:error=ENOSPC:when=1)
    start_held_run first 3
    wait_for first.txt 'Programme cr' || return
    printf 'Saved by the launcher=1\r\n' >> Morrowind.ini
    finish_held_run 3 '\n\n\n\n\n\n'
    with_sample $'Saved by the launcher=1\r\n' > edited.ini
    cmp -s Morrowind.ini edited.ini || fail "edited, then the append failed: the ini is not as backed up"
    cmp -s Morrowind.ini.old edited.ini || fail "edited, then the append failed: the backup lacks the edit"
    grep -q 'disque plein' first.txt || fail "edited, then the append failed: no disk-full box"
}

# A hangup that comes while a desktop dialog is being started, the box before the
# backup's, ends the run at that box. The dialog is a stand-in that answers at once.
hangup_as_a_dialog_starts() {
    strace_env
    fresh_folder "$stale"
    mkdir -p dialogs && printf '#!/bin/sh\nexit 0\n' > dialogs/zenity && chmod 755 dialogs/zenity
    local status=0
    ("${bound[@]}" strace -qq -o /dev/null -e trace=clone3,clone,vfork -e inject=clone3,clone,vfork:signal=SIGHUP:when=3 \
        env -u WAYLAND_DISPLAY PATH="$scratch/dialogs" DISPLAY=:99 "$program" </dev/null >/dev/null 2>&1 ||
        exit $?) 2>/dev/null ||
        status=$?
    [ "$status" -eq 129 ] || fail "hangup as a dialog starts: exit status $status, not the hangup's"
    cmp -s Morrowind.ini "$sample" || fail "hangup as a dialog starts: Morrowind.ini changed"
    same Morrowind.ini.old "$stale" || fail "hangup as a dialog starts: the older backup changed"
}

# The first run is stopped by strace as it returns from CALL inside its backup; the
# second runs through; then the first goes on. BACKUP-THEN is Morrowind.ini.old at that
# moment: the older one before the rename, the new one after it.
stopped_inside_backup() {  # CALL BACKUP-THEN
    fresh_folder "$stale"
    if [ "$2" = older ]; then printf '%s' "$stale" > backup-then; else cp "$sample" backup-then; fi
    printf "$accept_all" | strace -qq -o /dev/null -e trace="$1" -e inject="$1:signal=SIGSTOP:when=1" \
        "$program" > first.txt 2>&1 &
    local tracer=$! tracee="" i stopped=no
    # A sanitized build under strace on a busy machine may take many seconds to get there.
    for i in $(seq 1 300); do
        tracee=$(pgrep -P "$tracer" || true)
        [ -n "$tracee" ] && [[ "$(cut -d' ' -f3 "/proc/$tracee/stat" 2>/dev/null)" == [tT] ]] && stopped=yes && break
        sleep 0.1
    done
    if [ "$stopped" = no ]; then
        fail "the first run never stopped at $1"
        wait_bounded "$tracer" "stopped at $1"
        return
    fi
    second_run_is_refused "second run while the first is stopped at $1" "" backup-then
    kill -CONT "$tracee"
    wait_bounded "$tracer" "stopped at $1" || fail "stopped at $1: the first run's exit status is $?"
    first_run_ends_whole "first run stopped at $1"
    rm -f backup-then
}

# The terminal is closed (its tmux server killed) at the box before the backup. With
# the hangup signal delivered, and with it ignored (nohup), where only the closed
# terminal tells: either way nothing after that box is done.
terminal_closed_before_backup() {  # HANGUP: default or ignored
    command -v tmux >/dev/null || { fail "tmux is missing"; return; }
    fresh_folder "$stale"
    local socket="tolvane-test-$$" trap_hangup=""
    [ "$1" = ignored ] && trap_hangup="trap '' HUP;"
    tmux -L "$socket" -f /dev/null new-session -d -x 100 -y 50 -c "$scratch" \
        "$trap_hangup echo \$\$ > program.pid; exec '$program'"
    local i pid
    for i in $(seq 1 50); do [ -s program.pid ] && break; sleep 0.1; done
    pid=$(cat program.pid)
    local box
    for box in 'Programme cr' 'Voulez vous' 'effectuer une copie'; do
        for i in $(seq 1 100); do
            tmux -L "$socket" capture-pane -p -t 0 | grep -q "$box" && break
            sleep 0.1
        done
        [ "$box" = 'effectuer une copie' ] || tmux -L "$socket" send-keys -t 0 Enter
    done
    tmux -L "$socket" capture-pane -p -t 0 | grep -q 'effectuer une copie' ||
        fail "hangup $1: the box before the backup never showed"
    tmux -L "$socket" kill-server
    for i in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && { fail "hangup $1: the program goes on"; kill -9 "$pid"; }
    cmp -s Morrowind.ini "$sample" || fail "hangup $1: Morrowind.ini changed"
    same Morrowind.ini.old "$stale" || fail "hangup $1: the older backup changed"
    [ ! -e Morrowind.ini.old.tmp ] || fail "hangup $1: the temporary backup was left"
    rm -f program.pid
}

# A hangup that comes in the middle of the backup does not cut it short: the backup is
# finished whole, and the run ends at the next box, before anything is appended.
hangup_inside_backup() {
    strace_env
    fresh_folder "$stale"
    via=(strace -qq -o /dev/null -e trace=copy_file_range -e inject=copy_file_range:signal=SIGHUP:when=1)
    # The run ends by the hangup, as it would have at once without the backup under way.
    (printf "$accept_all" | "${bound[@]}" "${via[@]}" "$program" > screen.txt 2>&1) 2>/dev/null || true
    via=()
    cmp -s Morrowind.ini "$sample" || fail "hangup inside the backup: Morrowind.ini changed"
    cmp -s Morrowind.ini.old "$sample" || fail "hangup inside the backup: the backup was not finished"
    [ ! -e Morrowind.ini.old.tmp ] || fail "hangup inside the backup: the temporary backup was left"
    ! grep -q 'La copie a' screen.txt || fail "hangup inside the backup: the run went on to the next box"
}

interrupted_cases() {
    command -v strace >/dev/null || { echo "strace is missing"; exit 1; }
    held_at_fps_question
    local call backup
    while read -r call backup; do
        strace_env
        stopped_inside_backup "$call" "$backup"
    done <<'CALLS'
copy_file_range older
fsync           older
rename          new
CALLS
    terminal_closed_before_backup default
    terminal_closed_before_backup ignored
    hangup_inside_backup
    two_runs_at_their_first_box first
    two_runs_at_their_first_box second
    replaced_at_backup_done
    read_only_at_the_first_box
    edited_before_backup_then_append_fails
    hangup_as_a_dialog_starts
}

interrupted_cases
finish interrupted
