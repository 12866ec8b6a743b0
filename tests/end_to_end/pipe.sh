#!/usr/bin/env bash
# Every path of the built program as drawn on the screen, its answers piped in.
#   pipe.sh PROGRAM SAMPLE
# shellcheck source=common.sh
. "$(dirname "$0")/common.sh" "$@"

# Through a pipe a box is at most 80 columns wide, and closed: each of its rows as
# wide as its top edge.
expect_closed_boxes() {
    local line width=0 n=0
    while IFS= read -r line; do
        n=$((n + 1))
        case "$line" in
        ┌*) width=${#line} ;;
        [│└]*) [ "${#line}" -eq "$width" ] || fail "line $n is ${#line} columns in a box of $width: $line" ;;
        *) continue ;;
        esac
        [ "${#line}" -le 80 ] || fail "line $n is ${#line} columns, wider than 80: $line"
    done < screen.txt
}

pipe_cases() {
    fresh_folder
    run decline '\nn\n\n\n' 4
    cmp -s Morrowind.ini "$sample" || fail "decline: Morrowind.ini changed"
    [ ! -e Morrowind.ini.old ] || fail "decline: a backup was made"

    fresh_folder "$stale"
    run accept-with-fps "$accept_all" 7
    expect_ini accept-with-fps "$block$fps"
    cmp -s Morrowind.ini.old "$sample" || fail "accept-with-fps: backup differs"
    [ ! -e Morrowind.ini.old.tmp ] || fail "accept-with-fps: the temporary backup was left"

    fresh_folder
    run accept-without-fps '\no\n\n\nnon\n\n\n' 7
    expect_ini accept-without-fps "$block"
    cmp -s Morrowind.ini.old "$sample" || fail "accept-without-fps: backup differs"

    # An ini whose name differs in letter case only, as copies and dual-boot NTFS leave it,
    # is the one the game's Windows reads: it is changed, and backed up to
    # Morrowind.ini.old. Where two names would do, neither is touched.
    fresh_folder
    mv Morrowind.ini morrowind.ini
    run lower-case-ini "$accept_all" 7
    cmp -s morrowind.ini <(with_sample "$block$fps") || fail "lower-case-ini: morrowind.ini differs"
    cmp -s Morrowind.ini.old "$sample" || fail "lower-case-ini: backup differs"
    [ ! -e Morrowind.ini ] || fail "lower-case-ini: a Morrowind.ini was made"
    rm -f Morrowind.ini.old && cp "$sample" MORROWIND.INI && cp "$sample" morrowind.ini
    run two-cases-of-ini "$accept_all" 5
    grep -q "n'a pas pu être ouvert" screen.txt || fail "two-cases-of-ini: the box is not the open-failed one"
    cmp -s morrowind.ini "$sample" && cmp -s MORROWIND.INI "$sample" || fail "two-cases-of-ini: an ini changed"
    [ ! -e Morrowind.ini.old ] || fail "two-cases-of-ini: a backup was made"
    rm -f morrowind.ini MORROWIND.INI

    # Input ends at once: the confirmation was never answered, so nothing is touched.
    fresh_folder
    run no-input '' 4
    cmp -s Morrowind.ini "$sample" || fail "no-input: Morrowind.ini changed"
    [ ! -e Morrowind.ini.old ] || fail "no-input: a backup was made"

    # Arguments and environment change nothing.
    fresh_folder
    TOLVANE_CONTACT_EMAIL=x LANG=C run with-arguments "$accept_all" 7 --help -y /tmp
    expect_ini with-arguments "$block$fps"
    grep -q $'cr\xc3\xa9\xc3\xa9 par Quedrin' screen.txt || fail "accents are not drawn as UTF-8"
    expect_closed_boxes

    # Started with standard output or input closed, as some launchers start programs,
    # or on the ini itself: no box is written into the ini, and none of its lines (the
    # sample has blank ones) is read as an answer.
    local closed
    for closed in '>&- 2>/dev/null' '<&- >/dev/null 2>&1' '<Morrowind.ini >/dev/null 2>&1'; do
        fresh_folder "$stale"
        (printf '\nn\n\n\n' | eval '"${bound[@]}" env -u DISPLAY -u WAYLAND_DISPLAY "$program"' "$closed") ||
            fail "started with $closed: exit status $?"
        cmp -s Morrowind.ini "$sample" || fail "started with $closed: Morrowind.ini changed"
        same Morrowind.ini.old "$stale" || fail "started with $closed: the older backup changed"
    done

    # A file-size limit inside the block, with SIGXFSZ at its default: the write past it
    # fails as on a full disk, and the ini is cut back to its backup.
    fresh_folder
    printf "$accept_all" | "${bound[@]}" prlimit --fsize=$(($(stat -c %s "$sample") + 30)) \
        env --default-signal=XFSZ "$program" 2>&1 | cat > screen.txt || fail "file-size limit: exit status $?"
    grep -q 'disque plein' screen.txt || fail "file-size limit: no disk-full box"
    cmp -s Morrowind.ini "$sample" || fail "file-size limit: Morrowind.ini was not cut back"
    cmp -s Morrowind.ini.old "$sample" || fail "file-size limit: the backup differs"

    # A terminal in Latin-1: the accents in Latin-1, and no byte from 0x80 to 0x9F, which
    # such a terminal takes as a control.
    mkdir -p locales
    localedef -i fr_FR -f ISO-8859-1 locales/fr_FR.ISO-8859-1 >/dev/null 2>&1 ||
        [ -d locales/fr_FR.ISO-8859-1 ] || fail "Latin-1: no locale made (is the package locales there?)"
    fresh_folder
    printf '\nn\n\n\n' | LOCPATH=$scratch/locales LC_ALL=fr_FR.ISO-8859-1 "${bound[@]}" "$program" > screen.txt
    [ "$(grep -c '^+- ' screen.txt)" -eq 4 ] || fail "Latin-1: not 4 boxes with ASCII borders"
    LC_ALL=C grep -q $'cr\xe9\xe9 par Quedrin' screen.txt || fail "Latin-1: the accents are not in Latin-1"
    ! LC_ALL=C grep -q $'[\x80-\x9f]' screen.txt || fail "Latin-1: a byte from 0x80 to 0x9F was written"

    as_a_player_cases
    ntfs_read_only_mark
}

# Windows' read-only mark on a dual-boot NTFS partition, which ntfs-3g keeps apart from
# the mode: the mode still shows write bits.
ntfs_read_only_mark() {
    local why=""
    [ "$(id -u)" -eq 0 ] || why="mounting needs root"
    [ -c /dev/fuse ] || why="there is no /dev/fuse"
    command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null && command -v setfattr >/dev/null ||
        why="ntfs-3g or attr is missing"
    if [ -z "$why" ]; then
        truncate -s 16M ntfs.img && mkntfs -Q -F ntfs.img >/dev/null 2>&1 && mkdir -p ntfs &&
            ntfs-3g ntfs.img ntfs 2>/dev/null || why="ntfs-3g could not mount an image (is /dev/fuse usable?)"
    fi
    if [ -n "$why" ]; then
        echo "skipped: NTFS's read-only mark: $why"
        return
    fi
    cd ntfs
    fresh_folder "$stale"
    setfattr -n system.ntfs_attrib_be -v 0x00000021 Morrowind.ini  # archive and read-only
    as_a_player ntfs-read-only-mark self 5 "n'a_pas_pu_être_ouvert"
    cd "$scratch"
    umount ntfs
}

# What a player protected keeps its protection: a read-only older backup, and a
# read-only ini, which the run must find out about before it replaces the older backup.
# Root's rights would hide what a player meets, so root runs the player's cases as an
# unprivileged account, in a folder that account owns; read-only binds root too.
as_a_player_cases() {
    local name who protect boxes shown
    while read -r name who protect boxes shown; do
        fresh_folder "$stale"
        chmod 0444 "$protect"
        as_a_player "$name" "$who" "$boxes" "$shown"
    done <<'CASES'
read-only-backup         player Morrowind.ini.old 5 Morrowind.ini.old_n'a_pas_pu
read-only-ini            player Morrowind.ini     5 n'a_pas_pu_être_ouvert
read-only-ini-whoever-runs self Morrowind.ini     5 n'a_pas_pu_être_ouvert
CASES
}

pipe_cases
finish pipe
