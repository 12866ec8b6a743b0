#!/usr/bin/env bash
# Power cuts, replayed write by write on the kernel's own file systems: one accepted run
# of the static program is recorded under device-mapper's log-writes in a QEMU machine
# booting Debian's own kernel, and every crash state of it is checked there.
#   run.sh PROGRAM REPLAY SAMPLE WORK [CASE...]   (a CASE is FS:older or FS:none)
# Kernels come from Debian's packages (apt-get download, unpacked, never installed) and
# are kept outside the checkout, in ~/.cache/tolvane/kernels, so that a fresh clone does
# not fetch them again. Every boot has a time limit.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1") replay=$(realpath "$2") sample=$(realpath "$3") work=$4
shift 4
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(ext4:none ext4:older xfs:none xfs:older btrfs:none btrfs:older
                                 vfat:none vfat:older exfat:none exfat:older ntfs3:none ntfs3:older)
missing=()
for tool in qemu-system-x86_64 busybox dmsetup mkfs.vfat mkfs.exfat mkfs.ntfs mkfs.ext4 mkfs.xfs mkfs.btrfs xz; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
qemu-system-x86_64 --version >/dev/null 2>&1 || missing+=("a QEMU that starts")
if [ ${#missing[@]} -gt 0 ]; then
    echo "missing: ${missing[*]}"
    [ "${CI:-}" = true ] && exit 1
    exit 77
fi
mkdir -p "$work"
work=$(realpath "$work")
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tolvane/kernels
mkdir -p "$cache"
# QEMU's own emulation (TCG), which needs no KVM: a /dev/kvm in a sandbox may open and
# then run nothing.
accel=tcg
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The kernels come from what the host's apt offers, whatever its release and point
# release: the one linux-image-amd64 stands for, and, where that one lacks the kernel's
# NTFS driver (Debian 12's 6.1), the newest plain amd64 kernel offered that has it.
default_kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' | head -n 1
}
newest_kernel_package() {
    apt-cache search --names-only '^linux-image-[0-9][^ ]*-amd64(-unsigned)?$' 2>/dev/null |
        cut -d' ' -f1 | grep -Ev -- '-(cloud|rt)-amd64' | sort -V | tail -n 1
}

unpack_kernel() {  # PACKAGE -> sets $kernel_dir
    local package=$1
    kernel_dir=$cache/$package
    [ -d "$kernel_dir/boot" ] && return
    (cd "$cache" && rm -f "$package"_*.deb && apt-get download "$package" >/dev/null 2>&1) ||
        no_kernel "could not download $package"
    dpkg-deb -x "$cache/$package"_*.deb "$kernel_dir.part" && mv "$kernel_dir.part" "$kernel_dir"
    rm -f "$cache/$package"_*.deb
}

# Without a kernel the suite cannot run: a failure in CI, a skip elsewhere.
no_kernel() {
    echo "no Debian kernel to boot: $*"
    [ "${CI:-}" = true ] && exit 1
    exit 77
}

# Debian 12's packages put the modules under /lib, Debian 13's under /usr/lib.
modules_dir() {  # KERNEL-DIR
    ls -d "$1"/lib/modules/* "$1"/usr/lib/modules/* 2>/dev/null | head -n 1
}

has_ntfs3() {  # KERNEL-DIR
    local modules
    modules=$(modules_dir "$1")
    [ -n "$modules" ] || return 1
    [ -n "$(find "$modules" -name 'ntfs3.ko*' -print -quit)" ] || grep -qs '/ntfs3\.ko' "$modules/modules.builtin"
}

# Sets $main_kernel (every file system but ntfs3) and $ntfs3_kernel, unpacked.
choose_kernels() {
    local package
    package=$(default_kernel_package)
    [ -n "$package" ] || no_kernel "apt offers no linux-image-amd64 (apt-get update?)"
    unpack_kernel "$package"
    main_kernel=$kernel_dir ntfs3_kernel=$kernel_dir
    has_ntfs3 "$main_kernel" && return
    package=$(newest_kernel_package)
    [ -n "$package" ] || no_kernel "apt offers no amd64 kernel besides $(basename "$main_kernel")"
    unpack_kernel "$package"
    has_ntfs3 "$kernel_dir" || no_kernel "neither $(basename "$main_kernel") nor $package has ntfs3"
    ntfs3_kernel=$kernel_dir
}

# One initramfs per kernel: busybox, the modules in dependency order, dmsetup with its
# libraries, setpriv, the program, the replay tool, the scripts and the expected files.
make_initramfs() {  # NAME KERNEL-DIR FS-MODULES...
    local name=$1 kernel_dir=$2 root
    shift 2
    root=$work/initramfs-$name
    rm -rf "$root" && mkdir -p "$root"/{bin,modules,expect,proc,sys,dev}
    cp "$(command -v busybox)" "$root/bin/"
    local applet
    for applet in $("$root/bin/busybox" --list); do
        [ "$applet" = busybox ] || ln -sf busybox "$root/bin/$applet"
    done
    local i=0 module modules
    modules=$(python3 "$here/modules.py" "$(modules_dir "$kernel_dir")" \
              virtio_pci virtio_blk dm_log_writes dm_snapshot crc32c_generic "$@")
    for module in $modules; do
        i=$((i + 1))
        case "$module" in
        *.xz) xz -dc "$module" > "$root/modules/$(printf %03d "$i")-$(basename "$module" .xz)" ;;
        *) cp "$module" "$root/modules/$(printf %03d "$i")-$(basename "$module")" ;;
        esac
    done
    local tool library
    for tool in dmsetup setpriv; do
        rm -f "$root/bin/$tool" && cp "$(command -v "$tool")" "$root/bin/$tool"  # not busybox's
        for library in $(ldd "$(command -v "$tool")" | grep -o '/[^ ]*'); do
            mkdir -p "$root$(dirname "$library")" && cp -L "$library" "$root$library"
        done
    done
    cp "$program" "$root/tolvane"
    cp "$replay" "$root/replay"
    cp "$here/init.sh" "$root/init" && cp "$here/check.sh" "$root/check.sh"
    chmod 755 "$root/init" "$root/check.sh"
    local block=$'\r\n\r\nMin FPS=15\r\nMaX FPS=85\r\nInterior Cell Buffer=0\r\nExterior Cell Buffer=0\r\n'
    cp "$sample" "$root/expect/T"
    { cat "$sample"; printf '%s' "$block"; } > "$root/expect/TB"
    { cat "$sample"; printf '%s' "$block" 'Show FPS=1'$'\r\n'; } > "$root/expect/TBF"
    printf 'an older backup\r\n' > "$root/expect/older"
    (cd "$root" && find . | "$root/bin/busybox" cpio -o -H newc 2>/dev/null | gzip -1) > "$work/initramfs-$name.gz"
}

# The disk as a player's is made, and mounted with the options players get.
make_disk() {  # FS IMAGE
    case "$1" in
    vfat) truncate -s 64M "$2" && mkfs.vfat -F 32 "$2" ;;
    exfat) truncate -s 64M "$2" && mkfs.exfat "$2" ;;
    ntfs3) truncate -s 64M "$2" && mkfs.ntfs -Q -F "$2" ;;
    ext4) truncate -s 64M "$2" && mkfs.ext4 -F "$2" ;;
    xfs) truncate -s 320M "$2" && mkfs.xfs -f "$2" ;;
    btrfs) truncate -s 128M "$2" && mkfs.btrfs -f "$2" ;;
    esac >/dev/null 2>&1
}

mount_options() {  # FS
    case "$1" in
    vfat) echo uid=1000,gid=1000,fmask=0022,dmask=0022,shortname=mixed,utf8=1,showexec,flush ;;
    exfat | ntfs3) echo uid=1000,gid=1000 ;;
    *) echo defaults ;;
    esac
}

one_case() {  # FS:older|FS:none
    local fs=${1%:*} older=0 name=main kernel_dir=$main_kernel
    [ "${1#*:}" = older ] && older=1
    [ "$fs" = ntfs3 ] && name=ntfs3 kernel_dir=$ntfs3_kernel
    local disk=$work/$fs-disk.img log=$work/$fs-log.img copy=$work/$fs-copy.img store=$work/$fs-store.img
    rm -f "$disk" "$log" "$copy" "$store"
    make_disk "$fs" "$disk" || { fail "$1: mkfs failed"; return; }
    truncate -s 256M "$log" && truncate -s "$(stat -c %s "$disk")" "$copy" && truncate -s 256M "$store"
    local vmlinuz
    vmlinuz=$(ls "$kernel_dir"/boot/vmlinuz-*)
    local drives=() image
    for image in "$disk" "$log" "$copy" "$store"; do drives+=(-drive "file=$image,format=raw,if=virtio"); done
    timeout 600 qemu-system-x86_64 -accel "$accel" -m 1024 -nographic -no-reboot -kernel "$vmlinuz" \
        -initrd "$work/initramfs-$name.gz" "${drives[@]}" \
        -append "console=ttyS0 quiet panic=-1 tolvane.fs=$fs tolvane.options=$(mount_options "$fs") tolvane.older=$older" \
        </dev/null > "$work/$fs-$older.console" 2>&1 || fail "$1: the machine did not end within 10 minutes"
    tr -d '\r' < "$work/$fs-$older.console" > "$work/$fs-$older.txt"
    local states bad unmountable zeros
    states=$(grep -c '^STATE ' "$work/$fs-$older.txt" || true)
    bad=$(grep '^STATE [0-9]* FAIL' "$work/$fs-$older.txt" || true)
    unmountable=$(grep -c '^STATE [0-9]* unmountable' "$work/$fs-$older.txt" || true)
    zeros=$(grep -c '^STATE [0-9]* ok ini=zeros' "$work/$fs-$older.txt" || true)
    grep -q 'RUN updated' "$work/$fs-$older.txt" || fail "$1: the recorded run did not say \"mis à jour\""
    grep -q 'RESULT the whole log gives the final disk' "$work/$fs-$older.txt" ||
        fail "$1: replaying the whole log does not give the final disk"
    grep -q 'RESULT done' "$work/$fs-$older.txt" || fail "$1: the machine stopped early: $(grep -o 'RESULT.*' "$work/$fs-$older.txt" | tail -n 1)"
    [ "$states" -gt 2 ] || fail "$1: only $states states were checked"
    [ -z "$bad" ] || fail "$1: $(echo "$bad" | wc -l) of $states states break a rule, first: $(echo "$bad" | head -n 1)"
    echo "$1: $states crash states checked, $(echo -n "$bad" | grep -c . || true) broke a rule;" \
         "$unmountable not mountable without repair, $zeros with zero bytes after the original"
    rm -f "$disk" "$log" "$copy" "$store"
}

choose_kernels
echo "kernels: $(basename "$main_kernel"), and for ntfs3 $(basename "$ntfs3_kernel")"
fs_modules=()
for c in "${cases[@]}"; do
    [ "${c%:*}" = ntfs3 ] || fs_modules+=("${c%:*}")
done
if [ ${#fs_modules[@]} -gt 0 ]; then
    make_initramfs main "$main_kernel" $(printf '%s\n' "${fs_modules[@]}" | sort -u) nls_utf8 nls_cp437 nls_ascii
fi
case " ${cases[*]}" in
*" ntfs3:"*) make_initramfs ntfs3 "$ntfs3_kernel" ntfs3 nls_utf8 nls_ascii ;;
esac
for c in "${cases[@]}"; do one_case "$c"; done
if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all power-cut checks passed"
