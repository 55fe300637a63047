# SPDX-License-Identifier: GPL-3.0-or-later
# A private X display or headless sway and the target window, for scripts/demo, the scripts in
# bench/ and the test launchers. Source common.sh first. Everything started here is stopped,
# and every folder made here removed, when the script exits.

DESKTOP_PIDS=()
DESKTOP_DIRS=()
stop_desktop() {
    local i
    for ((i = ${#DESKTOP_PIDS[@]} - 1; i >= 0; i--)); do
        kill "${DESKTOP_PIDS[i]}" 2>/dev/null || true
        wait "${DESKTOP_PIDS[i]}" 2>/dev/null || true
    done
    for i in "${DESKTOP_DIRS[@]}"; do
        # The document portal, which the desktop portal starts on the bus, mounts its files in
        # the runtime folder, and may still be unmounting them as it ends.
        if mountpoint -q "$i/run/doc" 2>/dev/null; then
            umount -l "$i/run/doc" 2>/dev/null || fusermount3 -uz "$i/run/doc" 2>/dev/null || true
        fi
        rm -rf "$i" 2>/dev/null || { sleep 0.5 && rm -rf "$i"; } || echo "left behind: $i" >&2
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

# start_private_sway WIDTHxHEIGHT...: a private headless sway with one output per size, the
# second and later ones right of the one before, top-aligned. Exports WAYLAND_DISPLAY,
# XDG_RUNTIME_DIR, SWAYSOCK, and SWAY_PID for whoever wants to end the compositor early; unsets
# DISPLAY. sway refuses to run as root, so as root it runs as nobody (uid 65534) in a folder
# that user owns; root clients still connect.
start_private_sway() {
    local dir sizes=("$@") i x=0 config expected
    [ ${#sizes[@]} -gt 0 ] || sizes=(1024x768)
    dir=$(mktemp -d)
    DESKTOP_DIRS+=("$dir")
    mkdir -m 700 "$dir/run"
    # A cursor theme whose every cursor is one clear pixel: headless outputs draw the cursor
    # into their frames, and screen copies must show only what the windows drew.
    mkdir -p "$dir/icons/ravelkin-clear/cursors"
    local le1='\x01\x00\x00\x00' le0='\x00\x00\x00\x00' image='\x02\x00\xfd\xff' size='\x18\x00\x00\x00'
    printf "Xcur\x10\x00\x00\x00\x00\x00\x01\x00$le1$image$size\x1c\x00\x00\x00\x24\x00\x00\x00$image$size$le1$le1$le1$le0$le0$le0$le0" \
        >"$dir/icons/ravelkin-clear/cursors/default"
    for name in left_ptr text xterm hand2 pointer; do
        ln -s default "$dir/icons/ravelkin-clear/cursors/$name"
    done
    config="$dir/config"
    {
        echo "seat * xcursor_theme ravelkin-clear 24"
        echo "xwayland disable"
        # No wallpaper client and no bar: the screen is sway's own plain grey, the same at
        # every frame from the first.
        echo "swaybg_command -"
        echo "swaynag_command -"
        echo "focus_follows_mouse no"
        echo "default_border none"
        echo "default_floating_border none"
        echo "for_window [app_id=\"^ravelkin-wayland-target\$\"] floating enable, border none"
        for i in "${!sizes[@]}"; do
            [[ ${sizes[i]} =~ ^[0-9]+x[0-9]+$ ]] || {
                echo "start_private_sway: bad output size \"${sizes[i]}\"" >&2
                return 1
            }
            echo "output HEADLESS-$((i + 1)) resolution ${sizes[i]} position $x 0"
            expected+="HEADLESS-$((i + 1)) ${sizes[i]} $x,0"$'\n'
            x=$((x + ${sizes[i]%x*}))
        done
    } >"$config"
    local as=()
    if [ "$(id -u)" -eq 0 ]; then
        chown -R 65534:65534 "$dir"
        as=(--reuid=65534 --regid=65534 --clear-groups)
    fi
    # setpriv execs sway, so $! is sway itself; the parent-death signal ends it even when this
    # script is killed outright and its EXIT trap cannot run.
    setpriv --pdeathsig TERM "${as[@]}" env -i HOME="$dir" XDG_RUNTIME_DIR="$dir/run" \
        WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=${#sizes[@]} WLR_LIBINPUT_NO_DEVICES=1 \
        WLR_RENDERER=pixman XCURSOR_PATH="$dir/icons" XCURSOR_THEME=ravelkin-clear \
        PATH=/usr/bin:/bin sway -c "$config" >"$dir/sway.log" 2>&1 &
    DESKTOP_PIDS+=($!)
    export SWAY_PID=$!
    local _ socket display outputs=
    for _ in $(seq 200); do
        socket=$(compgen -G "$dir/run/sway-ipc.*.sock" | head -1) || true
        display=$(compgen -G "$dir/run/wayland-[0-9]" | head -1) || true
        if [ -n "$socket" ] && [ -n "$display" ] &&
            SWAYSOCK=$socket swaymsg -t get_version >/dev/null 2>&1; then
            outputs=$(SWAYSOCK=$socket swaymsg -r -t get_outputs 2>/dev/null | jq -r \
                '.[] | "\(.name) \(.rect.width)x\(.rect.height) \(.rect.x),\(.rect.y)"') || true
            [ "$outputs"$'\n' = "$expected" ] && break
        fi
        kill -0 "$SWAY_PID" 2>/dev/null || break
        sleep 0.05
    done
    if [ "$outputs"$'\n' != "$expected" ]; then
        echo "sway did not start with the outputs ${sizes[*]}; it said:" >&2
        cat "$dir/sway.log" >&2
        [ -z "$outputs" ] || echo "its outputs: $outputs" >&2
        return 1
    fi
    export XDG_RUNTIME_DIR="$dir/run"
    export WAYLAND_DISPLAY=${display##*/}
    export SWAYSOCK=$socket
    export XCURSOR_PATH="$dir/icons" XCURSOR_THEME=ravelkin-clear
    unset DISPLAY WAYLAND_SOCKET
}

# start_wayland_target X,Y OUTPUT: ravelkin-wayland-target with its top-left corner at (X, Y)
# of the sway started by start_private_sway, its output to the file OUTPUT; returns once sway
# shows it there, drawn, with its process id in TARGET_PID.
start_wayland_target() {
    "$ROOT/build/bin/ravelkin-wayland-target" --position "$1" >"$2" &
    TARGET_PID=$!
    DESKTOP_PIDS+=("$TARGET_PID")
    for _ in $(seq 100); do
        grep -q '^ready' "$2" && return 0
        kill -0 "$TARGET_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "the Wayland target window did not appear" >&2
    return 1
}

# make_private_home: a private folder, removed at the end, with a runtime folder and a home of
# its own; sets PRIVATE_DIR to it and PRIVATE_ENV to the env command that runs a program there.
make_private_home() {
    PRIVATE_DIR=$(mktemp -d)
    DESKTOP_DIRS+=("$PRIVATE_DIR")
    mkdir -m 700 "$PRIVATE_DIR/run"
    # The bus's folder of services is there before the bus, which then watches it.
    mkdir -p "$PRIVATE_DIR/home/.config" "$PRIVATE_DIR/home/.local/share/dbus-1/services" \
        "$PRIVATE_DIR/home/.cache"
    PRIVATE_ENV=(env -i HOME="$PRIVATE_DIR/home" XDG_RUNTIME_DIR="$PRIVATE_DIR/run"
        XDG_CONFIG_HOME="$PRIVATE_DIR/home/.config" XDG_DATA_HOME="$PRIVATE_DIR/home/.local/share"
        XDG_CACHE_HOME="$PRIVATE_DIR/home/.cache" PATH=/usr/bin:/bin)
}

# start_private_bus SOCKET ENV...: a private session bus listening on SOCKET, in a private
# folder that is removed with it, started under env with the ENV words; waits for its socket.
start_private_bus() {
    local socket=$1 _
    shift
    setpriv --pdeathsig TERM "$@" dbus-daemon --session --nofork --nopidfile \
        --address="unix:path=$socket" >/dev/null 2>&1 &
    DESKTOP_PIDS+=($!)
    for _ in $(seq 100); do
        [ -S "$socket" ] && return 0
        sleep 0.05
    done
    echo "the private session bus did not start" >&2
    return 1
}

# start_private_kwin WIDTHxHEIGHT PROGRAM...: a private headless KWin on a private session bus,
# one virtual output of that size, that grants each PROGRAM (a path) the fake input, the
# window list and screenshots, as the desktop file of an installed program does, and knows the
# desktop files in the folder RAVELKIN_TEST_KWIN_APPLICATIONS names, as they are. Exports
# WAYLAND_DISPLAY, XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS, and KWIN_PID for whoever wants
# to end the compositor early; unsets DISPLAY.
start_private_kwin() {
    local dir size=$1 program n=0 address _
    shift
    [[ $size =~ ^[0-9]+x[0-9]+$ ]] || {
        echo "start_private_kwin: bad output size \"$size\"" >&2
        return 1
    }
    make_private_home
    dir=$PRIVATE_DIR
    local env=("${PRIVATE_ENV[@]}")
    mkdir -p "$dir/home/.local/share/applications" "$dir/bin"
    # Debian's kwin_wayland carries a file capability that a container may refuse at exec; a
    # copy has none. KWin finds its own files by its name, so the copy keeps it.
    cp /usr/bin/kwin_wayland "$dir/bin/kwin_wayland"
    # KWin matches a client to a desktop file by the full path of its executable.
    for program in "$@"; do
        program=$(realpath "$(command -v "$program")") || {
            echo "start_private_kwin: no program \"$program\"" >&2
            return 1
        }
        n=$((n + 1))
        printf '%s\n' "[Desktop Entry]" "Type=Application" "Name=Ravelkin test $n" \
            "Exec=$program" "NoDisplay=true" \
            "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input,org_kde_plasma_window_management" \
            "X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2" \
            >"$dir/home/.local/share/applications/ravelkin-test-$n.desktop"
    done
    if [ -n "${RAVELKIN_TEST_KWIN_APPLICATIONS:-}" ]; then
        cp "$RAVELKIN_TEST_KWIN_APPLICATIONS"/*.desktop "$dir/home/.local/share/applications/" ||
            return 1
    fi
    # No animations: a window is at its place, drawn in full, once shown.
    printf '%s\n' "[KDE]" "AnimationDurationFactor=0" >"$dir/home/.config/kdeglobals"
    # The pointer where it is sent: KWin pushes it back a pixel from the screen's corners (a
    # move to 0,0 ends at 1,1), and the overview effects act on a pointer left in a corner.
    printf '%s\n' "[Plugins]" "overviewEnabled=false" "windowviewEnabled=false" "[Windows]" \
        "ElectricBorderPushbackPixels=0" >"$dir/home/.config/kwinrc"
    "${env[@]}" kbuildsycoca5 --noincremental >"$dir/kbuildsycoca.log" 2>&1 || {
        cat "$dir/kbuildsycoca.log" >&2
        return 1
    }
    address="unix:path=$dir/run/bus"
    start_private_bus "$dir/run/bus" "${env[@]}" || return 1
    env+=(DBUS_SESSION_BUS_ADDRESS="$address")
    setpriv --pdeathsig TERM "${env[@]}" "$dir/bin/kwin_wayland" --virtual --no-lockscreen \
        --socket wayland-0 --width "${size%x*}" --height "${size#*x}" \
        >"$dir/kwin.log" 2>&1 &
    DESKTOP_PIDS+=($!)
    export KWIN_PID=$!
    await_start "$KWIN_PID" "$dir/kwin.log" KWin kwin_answers "$dir/run/wayland-0" "${env[@]}" ||
        return 1
    export XDG_RUNTIME_DIR="$dir/run" WAYLAND_DISPLAY=wayland-0
    export DBUS_SESSION_BUS_ADDRESS=$address
    unset DISPLAY WAYLAND_SOCKET
}

# kwin_answers SOCKET ENV...: KWin's Wayland SOCKET is there and its screenshots answer on the
# bus of the env command ENV.
kwin_answers() {
    [ -S "$1" ] || return 1
    shift
    "$@" dbus-send --session --print-reply --dest=org.kde.KWin /org/kde/KWin/ScreenShot2 \
        org.freedesktop.DBus.Properties.Get string:org.kde.KWin.ScreenShot2 string:Version \
        >/dev/null 2>&1
}

# await_start PID LOG NAME CHECK...: waits until CHECK, a command, succeeds, for at most 15
# seconds and while PID runs; fails, showing LOG, what NAME said, when it does not.
await_start() {
    local pid=$1 log=$2 name=$3 _
    shift 3
    for _ in $(seq 300); do
        "$@" && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    echo "$name did not start; it said:" >&2
    cat "$log" >&2
    return 1
}

# leave_gnome_overview: closes the overview of the GNOME Shell start_private_gnome_shell
# started, which it opens at start; waits until it is closed.
leave_gnome_overview() {
    local _ get=(dbus-send --session --print-reply --dest=org.gnome.Shell /org/gnome/Shell)
    for _ in $(seq 100); do
        "${get[@]}" org.freedesktop.DBus.Properties.Set string:org.gnome.Shell \
            string:OverviewActive variant:boolean:false >/dev/null 2>&1
        "${get[@]}" org.freedesktop.DBus.Properties.Get string:org.gnome.Shell \
            string:OverviewActive 2>/dev/null | grep -q 'boolean false' && return 0
        sleep 0.05
    done
    echo "GNOME Shell did not leave its overview" >&2
    return 1
}

# mutter_xwayland LOG: "DISPLAY AUTHORITY" of the XWayland that mutter (or GNOME Shell), writing
# LOG, started in $PRIVATE_DIR/run, once it and mutter's Wayland socket answer; fails before.
mutter_xwayland() {
    local display auth
    display=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$1")
    auth=$(find "$PRIVATE_DIR/run" -maxdepth 1 -name '.mutter-Xwaylandauth.*' | head -1)
    [ -S "$PRIVATE_DIR/run/wayland-0" ] && [ -n "$display" ] && [ -n "$auth" ] &&
        DISPLAY=$display XAUTHORITY=$auth xdpyinfo >/dev/null 2>&1 && echo "$display $auth"
}

# await_mutter LOG PID BUS NAME [CHECK...]: waits until the mutter or GNOME Shell of PID, which
# writes LOG, has its Wayland socket and an XWayland that answers, and CHECK (a command), when
# given, succeeds; then exports what a client needs to reach it, with BUS as the session bus.
# Fails, showing LOG, when it ends first or is not ready within 15 seconds.
await_mutter() {
    local log=$1 pid=$2 address=$3 name=$4 display auth
    shift 4
    await_start "$pid" "$log" "$name" mutter_ready "$log" "$@" || return 1
    read -r display auth < <(mutter_xwayland "$log")
    export XDG_RUNTIME_DIR="$PRIVATE_DIR/run" WAYLAND_DISPLAY=wayland-0
    export DBUS_SESSION_BUS_ADDRESS=$address DISPLAY=$display XAUTHORITY=$auth
    unset WAYLAND_SOCKET
}

# mutter_ready LOG [CHECK...]: the mutter that writes LOG has its Wayland socket and an
# XWayland that answers, and CHECK, when given, succeeds.
mutter_ready() {
    mutter_xwayland "$1" >/dev/null || return 1
    shift
    [ $# -eq 0 ] || "$@"
}

# start_private_mutter WIDTHxHEIGHT: GNOME's compositor, mutter, headless on a private session
# bus, one virtual monitor of that size, with its XWayland. Exports WAYLAND_DISPLAY,
# XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS, DISPLAY and XAUTHORITY (XWayland's), and
# MUTTER_PID for whoever wants to end the compositor early.
start_private_mutter() {
    local dir size=$1 address
    [[ $size =~ ^[0-9]+x[0-9]+$ ]] || {
        echo "start_private_mutter: bad monitor size \"$size\"" >&2
        return 1
    }
    make_private_home
    dir=$PRIVATE_DIR
    local env=("${PRIVATE_ENV[@]}")
    address="unix:path=$dir/run/bus"
    start_private_bus "$dir/run/bus" "${env[@]}" || return 1
    env+=(DBUS_SESSION_BUS_ADDRESS="$address")
    # There before mutter writes to it, so that the wait below can read it at once.
    : >"$dir/mutter.log"
    setpriv --pdeathsig TERM "${env[@]}" mutter --headless --virtual-monitor "$size" --wayland \
        --wayland-display wayland-0 >"$dir/mutter.log" 2>&1 &
    DESKTOP_PIDS+=($!)
    export MUTTER_PID=$!
    await_mutter "$dir/mutter.log" "$MUTTER_PID" "$address" mutter
}

# start_private_portals: on the mutter start_private_mutter started (and its bus), PipeWire,
# WirePlumber, xdg-desktop-portal and GNOME's portal backend, whose RemoteDesktop and
# ScreenCast portals the GNOME backend uses. Each is started here, with the session's
# environment, not activated by the bus, which would start it without WAYLAND_DISPLAY.
# RAVELKIN_TEST_SERVICES names a folder of D-Bus .service files the bus may activate besides.
# Waits until the portal answers with its RemoteDesktop version.
start_private_portals() {
    local dir=$PRIVATE_DIR _ program
    local env=("${PRIVATE_ENV[@]}" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
        WAYLAND_DISPLAY="$WAYLAND_DISPLAY" XDG_CURRENT_DESKTOP=GNOME GDK_BACKEND=wayland
        GSETTINGS_BACKEND=memory)
    for program in pipewire wireplumber; do
        setpriv --pdeathsig TERM "${env[@]}" "$program" >"$dir/$program.log" 2>&1 &
        DESKTOP_PIDS+=($!)
    done
    for _ in $(seq 100); do
        [ -S "$dir/run/pipewire-0" ] && break
        sleep 0.05
    done
    setpriv --pdeathsig TERM "${env[@]}" /usr/libexec/xdg-desktop-portal-gnome \
        >"$dir/portal-gnome.log" 2>&1 &
    DESKTOP_PIDS+=($!)
    setpriv --pdeathsig TERM "${env[@]}" /usr/libexec/xdg-desktop-portal -r \
        >"$dir/portal.log" 2>&1 &
    DESKTOP_PIDS+=($!)
    for _ in $(seq 200); do
        if "${env[@]}" dbus-send --session --print-reply --dest=org.freedesktop.portal.Desktop \
            /org/freedesktop/portal/desktop org.freedesktop.DBus.Properties.Get \
            string:org.freedesktop.portal.RemoteDesktop string:version >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.05
    done
    echo "the portals did not start; they said:" >&2
    cat "$dir/portal.log" "$dir/portal-gnome.log" "$dir/pipewire.log" "$dir/wireplumber.log" >&2
    return 1
}

# start_private_gnome_shell WIDTHxHEIGHT PROGRAM...: GNOME Shell headless on a private session
# bus, one virtual monitor of that size, with its XWayland and Ravelkin's extension enabled, a
# copy of the source tree's that answers each PROGRAM (a path) as the installed one answers the
# installed Ravelkin programs. GNOME Shell reads the system bus as well: the private bus stands
# in for it, so that what is missing there is only missing, not fatal. Exports WAYLAND_DISPLAY,
# XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS, DISPLAY and XAUTHORITY (XWayland's), and
# GNOME_SHELL_PID for whoever wants to end it early.
start_private_gnome_shell() {
    local dir size=$1 address program trusted=() uuid=ravelkin@ravelkin.org _
    shift
    [[ $size =~ ^[0-9]+x[0-9]+$ ]] || {
        echo "start_private_gnome_shell: bad monitor size \"$size\"" >&2
        return 1
    }
    for program in "$@"; do
        program=$(realpath "$(command -v "$program")") || {
            echo "start_private_gnome_shell: no program \"$program\"" >&2
            return 1
        }
        trusted+=("$program")
    done
    make_private_home
    dir=$PRIVATE_DIR
    local extensions=$dir/home/.local/share/gnome-shell/extensions
    mkdir -p "$extensions" "$dir/home/.config/glib-2.0/settings"
    # A copy, whose list of the programs it answers names these in place of the installed ones.
    cp -r "$ROOT/resources/gnome-shell-extension/$uuid" "$extensions/"
    printf '%s\n' "${trusted[@]}" >"$extensions/$uuid/programs"
    # Settings in a file of the private home rather than through dconf's service: the
    # extension enabled, no animations, no welcome tour over the windows, and no banner over
    # their top rows, where tests click.
    printf '%s\n' "[org/gnome/shell]" "enabled-extensions=['$uuid']" \
        "welcome-dialog-last-shown-version='999'" "[org/gnome/desktop/interface]" \
        "enable-animations=false" "[org/gnome/desktop/notifications]" "show-banners=false" \
        >"$dir/home/.config/glib-2.0/settings/keyfile"
    address="unix:path=$dir/run/bus"
    local env=("${PRIVATE_ENV[@]}" GSETTINGS_BACKEND=keyfile DBUS_SESSION_BUS_ADDRESS="$address")
    start_private_bus "$dir/run/bus" "${env[@]}" || return 1
    : >"$dir/gnome-shell.log"
    setpriv --pdeathsig TERM "${env[@]}" DBUS_SYSTEM_BUS_ADDRESS="$address" gnome-shell \
        --headless --wayland --virtual-monitor "$size" --wayland-display wayland-0 \
        >"$dir/gnome-shell.log" 2>&1 &
    DESKTOP_PIDS+=($!)
    export GNOME_SHELL_PID=$!
    await_mutter "$dir/gnome-shell.log" "$GNOME_SHELL_PID" "$address" \
        "GNOME Shell with Ravelkin's extension" gnome_shell_started "$dir/gnome-shell.log" \
        "${env[@]}" || return 1
    export GSETTINGS_BACKEND=keyfile
}

# gnome_shell_started LOG ENV...: the GNOME Shell that writes LOG has started (until then, it
# may lose the press of a shortcut) and Ravelkin's extension answers on the bus of ENV
# (AccessDenied is an answer: dbus-send is no program of ours).
gnome_shell_started() {
    local log=$1 reply
    shift
    grep -q 'GNOME Shell started at' "$log" || return 1
    reply=$("$@" dbus-send --session --print-reply --dest=org.ravelkin.Shell \
        /org/ravelkin/Shell org.ravelkin.Shell1.Hello 2>&1) || true
    [[ $reply == *AccessDenied* || $reply == *uint32* ]]
}
