#!/bin/sh
# The power-cut machine's first process: it writes the ini (and an older backup) on the
# disk under test, copies the disk as it then is, records every write of one accepted
# run of tolvane under log-writes, then replays the log onto the copy one entry at a
# time and checks each state after the file system's own recovery.
#   kernel command line: tolvane.fs=TYPE tolvane.options=OPTIONS tolvane.older=0|1
# Disks: vda the disk under test, vdb the log, vdc the copy, vdd the snapshots' store.
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for module in /modules/*.ko; do insmod "$module" 2>/dev/null || echo "insmod failed: $module"; done
for word in $(cat /proc/cmdline); do
    case "$word" in
    tolvane.fs=*) fs=${word#*=} ;;
    tolvane.options=*) options=${word#*=} ;;
    tolvane.older=*) older=${word#*=} ;;
    esac
done
export fs options  # for check.sh
mkdir -p /mnt /state
[ "$older" = 1 ] || rm -f /expect/older
sectors=$(cat /sys/block/vda/size)

# The game folder: owned by the player, uid 1000, where the file system keeps owners.
mount -t "$fs" -o "$options" /dev/vda /mnt || { echo "RESULT cannot mount the disk"; poweroff -f; }
cp /expect/T /mnt/Morrowind.ini
[ "$older" = 1 ] && cp /expect/older /mnt/Morrowind.ini.old
chown -R 1000:1000 /mnt 2>/dev/null
umount /mnt
dd if=/dev/vda of=/dev/vdc bs=1M 2>/dev/null
sync

echo "0 $sectors log-writes /dev/vda /dev/vdb" | dmsetup create logged && dmsetup mknodes
dmsetup message logged 0 mark before
mount -t "$fs" -o "$options" /dev/mapper/logged /mnt || { echo "RESULT cannot mount the logged disk"; poweroff -f; }
cd /mnt && printf '\n\n\n\n\n\n\n' | /bin/setpriv --reuid=1000 --regid=1000 --clear-groups /tolvane > /run.txt 2>&1
cd /
grep -q 'mis à jour' /run.txt && echo "RUN updated" || { echo "RUN not updated:"; cat /run.txt; }
dmsetup message logged 0 mark after
umount /mnt
dmsetup remove logged
sync

/replay /dev/vdb each /dev/vdc /check.sh
echo 3 > /proc/sys/vm/drop_caches  # the disk was read before the log changed it
cmp /dev/vdc /dev/vda && echo "RESULT the whole log gives the final disk" || echo "RESULT the whole log does not give the final disk"
echo "RESULT done"
poweroff -f
