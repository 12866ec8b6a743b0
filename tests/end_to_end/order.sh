#!/usr/bin/env bash
# The order of the changes on disk, read from the program's own system calls.
#   order.sh PROGRAM SAMPLE
# shellcheck source=common.sh
. "$(dirname "$0")/common.sh" "$@"

order_case() {
    strace_env
    fresh_folder "$stale"
    printf "$accept_all" | "${bound[@]}" strace -qq -y -s 4096 -o calls.txt -e trace=openat,fcntl,fsync,rename,write \
        "$program" > screen.txt 2> stderr.txt
    local folder ini
    folder=$(realpath .)
    ini="$folder/Morrowind\.ini"
    local steps=(
        '^openat\(AT_FDCWD[^,]*, "Morrowind\.ini", O_RDWR\|[^)]*O_APPEND'
        "^fcntl\([0-9]+<$ini>, F_OFD_SETLK, \{l_type=F_WRLCK, l_whence=SEEK_SET, l_start=4611686018427387904, l_len=1\}\) = 0"
        '^write\(1<[^>]*>, .*Programme cr'
        "^fsync\([0-9]+<$ini\.old\.tmp>\)"
        '^rename\("Morrowind\.ini\.old\.tmp", "Morrowind\.ini\.old"\)'
        "^fsync\([0-9]+<$ini\.old>\)"
        "^fsync\([0-9]+<$folder>\)"
        "^write\([0-9]+<$ini>, \"Show FPS=1"
        "^fsync\([0-9]+<$ini>\)"
        '^write\(1<[^>]*>, .*mis \\303\\240 jour'
    )
    local step at previous=0
    for step in "${steps[@]}"; do
        at=$(tail -n "+$((previous + 1))" calls.txt | grep -n -m 1 -E -e "$step" | cut -d: -f1 || true)
        if [ -z "$at" ]; then
            fail "not seen after line $previous: $step"
            return
        fi
        previous=$((previous + at))
    done
    # Nothing reaches the ini before its backup is on disk under its own name.
    local durable
    durable=$(grep -n -m 1 -E "^fsync\([0-9]+<$folder>\)" calls.txt | cut -d: -f1)
    ! head -n "$durable" calls.txt | grep -q -E "^write\([0-9]+<$ini>" ||
        fail "the ini was written to before its backup was on disk"
}

order_case
finish order
