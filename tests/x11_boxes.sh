# The Xvfb display and the xdotool hands shared by the Wine suite and the desktop dialog
# cases: a run is started in the background with no terminal, and each box it shows,
# whether Wine's message box or a zenity or kdialog window, is answered by a key typed
# for real. Callers set $run (a folder for the runs' exit status and output), $play (the
# folder a run starts in), $launch (the command that starts one), and define fail.

# Without these tools a suite cannot run: skipped on a developer's machine, failed in
# CI, never passed.
require_tools() {  # TOOL...
    local missing=() tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    [ ${#missing[@]} -eq 0 ] && return
    echo "missing: ${missing[*]}"
    [ "${CI:-}" = true ] && exit 1
    exit 77
}

# Box windows by title: kdialog adds its own name to the caption.
box_titles='^(About )?Tolvane( — KDialog)?$'

start_display() {  # STATE-FOLDER: a fresh Xvfb; its display name is kept there
    # Xvfb picks a free display number itself and writes it out once it listens, so two
    # suites starting at once never share one. Without -noreset it starts afresh each
    # time its last client leaves, as it does between two dialogs, and a dialog that
    # connects just then finds no display and ends at once: a box the run never shows.
    rm -f "$1/display"
    setsid Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$1/display" >"$1/xvfb.log" 2>&1 </dev/null &
    echo $! > "$1/xvfb.pid"
    local i n=""
    for i in $(seq 1 100); do
        [ -z "$n" ] && n=$(cat "$1/display" 2>/dev/null)
        [ -n "$n" ] && DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1 && break
        sleep 0.1
    done
    [ -n "$n" ] || { echo "Xvfb did not start"; return 1; }
    echo ":$n" > "$1/display"
}

stop_display() {  # STATE-FOLDER
    [ -f "$1/xvfb.pid" ] && kill "$(cat "$1/xvfb.pid")" 2>/dev/null
    rm -f "$1/xvfb.pid"
}

# A window manager draws the title bars a player sees; it runs only while the pictures
# for the README are taken, and each picture then takes in the window's frame.
frame=()
start_window_manager() {  # COMMAND...
    "$@" >/dev/null 2>&1 &
    window_manager=$!
    frame=(-frame)
    sleep 1
}

stop_window_manager() {
    [ -z "${window_manager:-}" ] || kill "$window_manager" 2>/dev/null
    window_manager="" frame=()
}

seen=" "
captions=()

caption_of() {  # WINDOW
    local title
    title=$(xdotool getwindowname "$1" 2>/dev/null) || return 1
    echo "${title% — KDialog}"
}

# Sets $box to the id of a box window not seen before, waiting up to 30 seconds, and
# records its caption. A dismissed box can stay mapped for a moment, and another run's
# box may stay open, so a box is known by its window, not its caption: by the process
# that shows it and its id, since the X server gives each new dialog program the same
# ids again.
next_box() {
    local i w key caption
    for i in $(seq 1 120); do
        for w in $(xdotool search --onlyvisible --name "$box_titles" 2>/dev/null); do
            # A window that is still being set up, or already going away, is left for now.
            key=$(xdotool getwindowpid "$w" 2>/dev/null):$w || continue
            case "$seen" in *" $key "*) continue ;; esac
            caption=$(caption_of "$w") || continue
            seen="$seen$key "
            box=$w
            captions+=("$caption")
            return 0
        done
        sleep 0.25
    done
    return 1
}

# Wine draws the boxes itself as unmanaged windows, which it destroys the moment a key
# dismisses them; a key sent to the window would lose its release and leave Wine thinking
# the key is still down. So the box gets the focus and the key is typed for real.
press() {  # WINDOW KEY
    timeout 10 xdotool windowfocus --sync "$1" key "$2" 2>/dev/null || fail "could not press $2 in window $1"
}

# Asks the window to close, as its title bar's close button does (no window manager
# runs here to draw one).
close_box() {  # WINDOW
    /usr/bin/python3 - "$1" <<'PYTHON' || fail "could not close window $1"
import sys
from Xlib import X, display, protocol
d = display.Display()
window = d.create_resource_object("window", int(sys.argv[1]))
close = protocol.event.ClientMessage(
    window=window, client_type=d.intern_atom("WM_PROTOCOLS"),
    data=(32, [d.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
window.send_event(close, event_mask=0)
d.flush()
PYTHON
}

# Starts one run of $launch in $play in the background, as a file manager would: no
# terminal, and /dev/null for input. RUN names its exit status, output and process files.
start_run() {  # RUN
    rm -f "$run/$1.exit"
    (cd "$play" && trap '' XFSZ &&
        "${launch[@]}" </dev/null >"$run/$1.console" 2>&1
     echo $? >"$run/$1.exit") &
    echo $! >"$run/$1.pid"
}

kill_tree() {  # PID: it and every process it started
    local child
    for child in $(pgrep -P "$1"); do kill_tree "$child"; done
    kill -KILL "$1" 2>/dev/null || true
}

# Answers one new box per key, in the order they appear, whichever run shows them; the
# key "close" closes the box as its title bar's button would.
answer() {  # KEY...
    local key
    for key in "$@"; do
        if ! next_box; then
            fail "box $((${#captions[@]} + 1)) never came; seen: ${captions[*]}"
            break
        fi
        sleep 0.6
        [ -n "${shots:-}" ] && import "${frame[@]}" -window "$box" "$shots/$(printf %02d "${#captions[@]}").png"
        if [ "$key" = close ]; then
            close_box "$box"
        else
            press "$box" "$key"
        fi
    done
}

# Waits for one run to end; a box beyond the scripted ones is recorded and answered.
wait_exit() {  # RUN
    local done="$run/$1.exit" i w
    for i in $(seq 1 120); do
        [ -s "$done" ] && break
        for w in $(xdotool search --onlyvisible --name "$box_titles" 2>/dev/null); do
            local key caption
            key=$(xdotool getwindowpid "$w" 2>/dev/null):$w || continue
            case "$seen" in *" $key "*) continue ;; esac
            caption=$(caption_of "$w") || continue
            seen="$seen$key "
            captions+=("$caption")
            fail "an unexpected box: ${captions[-1]}"
            press "$w" Return
        done
        sleep 0.25
    done
    if [ ! -s "$done" ]; then
        fail "the program ($1) did not end within 30 seconds, and was killed; boxes seen: ${#captions[@]}"
        kill_tree "$(cat "$run/$1.pid")"
        return
    fi
    [ "$(cat "$done")" = 0 ] || fail "$1: exit status $(cat "$done")"
    [ ! -s "$run/$1.console" ] || fail "$1: the console was written to: $(head -c 200 "$run/$1.console")"
}

expect_boxes() {  # COUNT: that many boxes, all "Tolvane" but the last, "About Tolvane"
    local count=$1 i
    [ ${#captions[@]} -eq "$count" ] || fail "${#captions[@]} boxes, expected $count: ${captions[*]}"
    for ((i = 0; i < ${#captions[@]}; i++)); do
        local want=Tolvane
        [ $i -eq $((count - 1)) ] && want="About Tolvane"
        [ "${captions[$i]}" = "$want" ] || fail "box $((i + 1)) is \"${captions[$i]}\", expected \"$want\""
    done
}
