#!/usr/bin/env bash
# Each file-related system call of an accepted run failed in turn with strace: every
# run ends sound.
#   faults.sh PROGRAM SAMPLE
# shellcheck source=common.sh
. "$(dirname "$0")/common.sh" "$@"

# Every system call that touches the ini, the backup, its temporary name or the folder.
traced_paths() {
    local name
    for name in Morrowind.ini Morrowind.ini.old Morrowind.ini.old.tmp; do
        printf -- '-P\n%s\n-P\n%s\n' "$name" "$scratch/$name"
    done
    printf -- '-P\n%s\n' "$scratch"
}

# A run with one failed system call must end sound: the ini unchanged, or changed whole
# with its backup beside it; the older backup never lost; no temporary file left unless
# its removal was the call that failed; exit status 0; "mis à jour" only after a whole
# change.
expect_sound() {  # NAME TEMPORARY-MAY-STAY
    local name=$1 ini_changed=no
    if cmp -s Morrowind.ini "$sample"; then
        :
    elif cmp -s Morrowind.ini <(with_sample "$block$fps"); then
        ini_changed=yes
        cmp -s Morrowind.ini.old "$sample" || fail "$name: the ini changed without its backup beside it"
    else
        fail "$name: Morrowind.ini is neither as it was nor changed whole"
    fi
    cmp -s Morrowind.ini.old "$sample" || same Morrowind.ini.old "$stale" ||
        fail "$name: the older backup was lost"
    # A run that could not open the ini touches nothing.
    ! grep -q "n'a pas pu être ouvert" screen.txt || same Morrowind.ini.old "$stale" ||
        fail "$name: the ini could not be opened, yet the older backup was replaced"
    [ "$2" = yes ] || [ ! -e Morrowind.ini.old.tmp ] || fail "$name: the temporary backup was left"
    if updated_shown; then
        [ $ini_changed = yes ] || fail "$name: \"mis à jour\" shown, but the ini is not changed whole"
    else
        [ $ini_changed = no ] || fail "$name: the ini changed, but \"mis à jour\" was not shown"
    fi
}

fault_cases() {
    command -v strace >/dev/null || { echo "strace is missing"; exit 1; }
    strace_env
    local paths
    mapfile -t paths < <(traced_paths)
    fresh_folder "$stale"
    printf "$accept_all" | "${bound[@]}" strace -qq -o calls.txt "${paths[@]}" "$program" > screen.txt 2> stderr.txt
    cmp -s Morrowind.ini <(with_sample "$block$fps") || fail "the run without faults did not change the ini"

    local call count n total=0
    while read -r count call; do
        for ((n = 1; n <= count; n++)); do
            fresh_folder "$stale"
            via=(strace -qq -o injected.txt "${paths[@]}" -e trace="$call" -e inject="$call:error=EIO:when=$n")
            run "$call #$n" "$accept_all" -
            grep -q INJECTED injected.txt || fail "$call #$n: nothing was failed"
            expect_sound "$call #$n" no
            total=$((total + 1))
        done
    done < <(sed -n 's/^\([a-z_0-9]*\)(.*/\1/p' calls.txt | sort | uniq -c)
    [ "$total" -ge 12 ] || fail "only $total calls were failed: $(tr '\n' ' ' < calls.txt)"

    # The removal of a failed temporary backup fails too: only then may it stay, and the
    # next run replaces it.
    fresh_folder "$stale"
    via=(strace -qq -o injected.txt "${paths[@]}" -e trace=fsync,unlink
         -e inject=fsync:error=EIO:when=1 -e inject=unlink:error=EIO:when=2)
    run "temporary left" "$accept_all" 5
    expect_sound "temporary left" yes
    [ -e Morrowind.ini.old.tmp ] || fail "temporary left: the removal was failed, yet nothing is left"
    via=()
    run "after a temporary was left" "$accept_all" 7
    expect_sound "after a temporary was left" no
    echo "failed $total system calls in turn"

    # A hard link to a file outside the folder, left at the temporary name, whose removal
    # reports success but leaves it: the backup is refused, never written through it.
    fresh_folder "$stale"
    printf 'outside the game folder\r\n' > "$scratch.outside"
    ln "$scratch.outside" Morrowind.ini.old.tmp
    via=(strace -qq -o injected.txt -P Morrowind.ini.old.tmp -P "$scratch/Morrowind.ini.old.tmp"
         -e trace=unlink -e inject=unlink:retval=0:when=1)
    run "link left at the temporary name" "$accept_all" 5
    grep -q "Morrowind.ini.old n'a pas pu" screen.txt || fail "link left at the temporary name: no backup-failed box"
    same "$scratch.outside" $'outside the game folder\r\n' || fail "link left at the temporary name: the outside file changed"
    cmp -s Morrowind.ini "$sample" || fail "link left at the temporary name: Morrowind.ini changed"
    same Morrowind.ini.old "$stale" || fail "link left at the temporary name: the older backup changed"
    rm -f "$scratch.outside"

    # A file system that reports a write or a copy done and stores nothing: the block,
    # or the backup's copy, is read back before it is trusted.
    local size
    size=$(stat -c %s "$sample")
    fresh_folder "$stale"
    via=(strace -qq -o injected.txt -P "$scratch/Morrowind.ini" -e trace=write -e inject=write:retval=76:when=1)
    run "block reported written" "$accept_all" 7
    grep -q 'remis dans son' screen.txt || fail "block reported written: no cut-back box"
    ! updated_shown || fail "block reported written: \"mis à jour\" shown"
    cmp -s Morrowind.ini Morrowind.ini.old || fail "block reported written: the ini is not its backup again"
    fresh_folder "$stale"
    via=(strace -qq -o injected.txt -e trace=copy_file_range -e inject="copy_file_range:retval=$size:when=1")
    run "copy reported made" "$accept_all" 5
    grep -q "Morrowind.ini.old n'a pas pu" screen.txt || fail "copy reported made: no backup-failed box"
    same Morrowind.ini.old "$stale" || fail "copy reported made: the older backup changed"
    cmp -s Morrowind.ini "$sample" || fail "copy reported made: Morrowind.ini changed"

    # A file system that keeps no modes refuses a needed chmod; the copy's own mode grants
    # less than the ini's, so the backup is kept with it.
    fresh_folder
    chmod 0644 Morrowind.ini
    via=(strace -qq -o injected.txt -e trace=fchmod -e inject=fchmod:error=EPERM:when=1)
    local mask
    mask=$(umask)
    umask 077
    run "chmod refused" "$accept_all" 7
    umask "$mask"
    expect_ini "chmod refused" "$block$fps"
    [ "$(stat -c %a Morrowind.ini.old)" = 600 ] || fail "chmod refused: the backup's mode is $(stat -c %a Morrowind.ini.old)"

    # A file system with no locks says so; only another run's lock refuses.
    local error
    for error in ENOLCK EOPNOTSUPP ENOSYS EINVAL; do
        fresh_folder "$stale"
        via=(strace -qq -o injected.txt -P "$scratch/Morrowind.ini" -e trace=fcntl
             -e inject="fcntl:error=$error:when=1")
        run "lock $error" "$accept_all" 7
        grep -q 'F_OFD_SETLK.*INJECTED' injected.txt || fail "lock $error: the lock was not failed"
        expect_ini "lock $error" "$block$fps"
    done
    via=()
}

fault_cases
finish faults
