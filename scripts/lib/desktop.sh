# SPDX-License-Identifier: GPL-3.0-or-later
# A private X display and the target window, for scripts/demo and the scripts in bench/.
# Source common.sh first. Everything started here is stopped when the script exits.

DESKTOP_PIDS=()
stop_desktop() {
    local i
    for ((i = ${#DESKTOP_PIDS[@]} - 1; i >= 0; i--)); do
        kill "${DESKTOP_PIDS[i]}" 2>/dev/null || true
        wait "${DESKTOP_PIDS[i]}" 2>/dev/null || true
    done
}
trap stop_desktop EXIT

# start_private_display WIDTHxHEIGHT [bare]: a private Xvfb with openbox (none when bare) and
# the US keymap; exports DISPLAY, and XVFB_PID for whoever wants to end the server early.
start_private_display() {
    local fifo number
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    # -noreset: the server would otherwise start afresh, dropping the keymap and refusing
    # connections for a moment, whenever its last client leaves (setxkbmap, xprop).
    Xvfb -displayfd 9 -screen 0 "$1x24" -nolisten tcp -noreset 9>"$fifo" >/dev/null 2>&1 &
    DESKTOP_PIDS+=($!)
    if ! read -r -t 15 number <"$fifo"; then
        rm -f "$fifo"
        echo "Xvfb did not start" >&2
        return 1
    fi
    rm -f "$fifo"
    export DISPLAY=":$number"
    export XVFB_PID=${DESKTOP_PIDS[-1]}
    # The keymap first: a window manager reloads its key bindings when the keymap changes.
    setxkbmap us 2>/dev/null || true
    if [ "${2:-}" != bare ]; then
        openbox --sm-disable >/dev/null 2>&1 &
        DESKTOP_PIDS+=($!)
        # Ready once it manages a window: it announces itself on the root window before it
        # handles the windows that ask to be shown, and a window shown in between may be lost.
        xmessage -geometry 1x1+0+0 -timeout 30 ready >/dev/null 2>&1 &
        local probe=$! _
        for _ in $(seq 200); do
            xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q '0x' && break
            sleep 0.05
        done
        kill "$probe" 2>/dev/null || true
        wait "$probe" 2>/dev/null || true
        for _ in $(seq 200); do
            xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q '0x' || break
            sleep 0.05
        done
    fi
}

# start_target X,Y OUTPUT: ravelkin-target with its top-left corner at (X, Y), its output to
# the file OUTPUT; returns once it is drawn, with its process id in TARGET_PID.
start_target() {
    "$ROOT/build/bin/ravelkin-target" --position "$1" >"$2" &
    TARGET_PID=$!
    DESKTOP_PIDS+=("$TARGET_PID")
    for _ in $(seq 100); do
        grep -q '^ready' "$2" && return 0
        sleep 0.1
    done
    echo "the target window did not appear" >&2
    return 1
}
