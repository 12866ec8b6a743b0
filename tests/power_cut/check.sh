#!/bin/sh
# One crash state, N entries of the log applied: mounted through a snapshot, so that the
# file system's recovery changes nothing of the copy, and checked against the rules.
#   check.sh N
n=$1
# $fs and $options come from init.sh, which read them from the kernel's command line.
sectors=$(cat /sys/block/vdc/size)
bad() { echo "STATE $n FAIL $*"; }
echo "0 $sectors snapshot /dev/vdc /dev/vdd N 8" | dmsetup create state && dmsetup mknodes || { bad "no snapshot"; exit 0; }
if ! mount -t "$fs" -o "$options" /dev/mapper/state /state 2>/dev/null; then
    # The file system wants a repair first (ntfs3's "volume is dirty"): counted apart.
    echo "STATE $n unmountable"
    dmsetup remove state
    exit 0
fi
ini=none
for expected in T TB TBF; do cmp -s /state/Morrowind.ini "/expect/$expected" && ini=$expected; done
# FAT and exFAT may store the new length before the data: zero bytes after the original,
# in the instant of the append, are their own limit, reported apart.
original=$(wc -c < /expect/T)
if [ "$ini" = none ] && { [ "$fs" = vfat ] || [ "$fs" = exfat ]; } &&
    [ "$(wc -c < /state/Morrowind.ini)" -gt "$original" ] &&
    head -c "$original" /state/Morrowind.ini | cmp -s - /expect/T &&
    [ "$(tail -c +$((original + 1)) /state/Morrowind.ini | tr -d '\000' | wc -c)" -eq 0 ]; then
    ini=zeros
fi
backup=absent
if [ -e /state/Morrowind.ini.old ]; then
    backup=other
    cmp -s /state/Morrowind.ini.old /expect/T && backup=T
    [ -e /expect/older ] && cmp -s /state/Morrowind.ini.old /expect/older && backup=older
fi
verdict=ok
[ "$ini" = none ] && verdict="FAIL Morrowind.ini is none of T, T+block, T+block+FPS"
[ "$backup" = other ] && verdict="FAIL Morrowind.ini.old is neither the original nor the older backup"
[ "$backup" = absent ] && [ -e /expect/older ] && verdict="FAIL the older backup is gone"
[ "$ini" != T ] && [ "$backup" != T ] && [ "$verdict" = ok ] && verdict="FAIL Morrowind.ini changed while Morrowind.ini.old is not the original"
echo "STATE $n $verdict ini=$ini backup=$backup"
umount /state
dmsetup remove state
