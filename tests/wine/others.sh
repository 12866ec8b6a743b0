# The cases where another program or another run of tolvane shares the folder, and a run
# started as a file manager starts it.
# Each case_NAME is run by cases.sh, after run_case has laid out its folder.
# shellcheck shell=bash

# Another program holds a file of the folder from before the run; it lets go LINGER
# milliseconds after "$run/helper/stop" appears.
hold() {  # NAME read|read-write LINGER
    mkdir "$run/helper"
    (cd "$run/helper" && timeout 60 "$wine" "$HOLD_EXE" "../play/$1" ready stop "$2" "$3" \
        </dev/null >"$run/helper.txt" 2>&1) &
    local i
    for i in $(seq 1 120); do [ -e "$run/helper/ready" ] && break; sleep 0.25; done
    [ -e "$run/helper/ready" ] || fail "the helper never took hold of $1"
}

# Another program holds Morrowind.ini without sharing write: nothing is touched.
case_ini_held_for_reading() {
    printf 'an older backup\r\n' > "$play/Morrowind.ini.old"
    hold Morrowind.ini read 0
    play_run Return Return Return Return Return
    touch "$run/helper/stop"
    wait
    expect_boxes 5
    expect_ini_unchanged
    expect_older_backup
    expect_no_temporary
}

# A scanner's passing hold, on the ini or on the backup it replaces, until 0.7 s after
# the backup notice is answered: the run waits it out and patches.
case_ini_held_for_a_moment() { held_for_a_moment Morrowind.ini read; }
case_backup_held_for_a_moment() { held_for_a_moment Morrowind.ini.old read-write; }
held_for_a_moment() {  # NAME read|read-write
    printf 'an older backup\r\n' > "$play/Morrowind.ini.old"
    hold "$1" "$2" 700
    launch=("$wine" "$exe")
    start_run main
    answer Return Return Return
    touch "$run/helper/stop"
    answer Return Return Return Return
    wait_exit main
    wait
    expect_boxes 7
    expect_file Morrowind.ini "$run/with-fps.ini"
    expect_file Morrowind.ini.old "$SAMPLE_INI"
    expect_no_temporary
}

case_two_runs_at_once() {
    # The first run waits at its FPS question, its block written, when the second starts.
    two_runs 4 "$run/without-fps.ini" "$SAMPLE_INI"
}

case_two_runs_at_their_first_box() {
    # A double-click seen twice: both runs show their first box before either is answered.
    two_runs 0 "$SAMPLE_INI" "$run/older-backup"
}

case_two_prefixes() {
    # Proton's prefix and ~/.wine on one game folder: two Wine servers, which see only
    # each other's locks on the Linux file. The later run is answered first.
    make_second_prefix
    two_runs 0 "$SAMPLE_INI" "$run/older-backup" "$second_prefix"
}

# Both builds in one folder: the second run is refused.
case_native_run_then_wine_run() {
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
}

case_started_as_a_file_manager_starts_it() {
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
}
