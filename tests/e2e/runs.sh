#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end runs of ravelkin against the target window, as a user makes them: the Linux
# program on the X display of $DISPLAY (ctest runs each check on one of its own), on the sway
# of $WAYLAND_DISPLAY when there is no DISPLAY (scripts/lib/with-sway), on the KWin of
# $WAYLAND_DISPLAY when there is no SWAYSOCK either (scripts/lib/with-kwin), or the Windows
# program under Wine when WINE names it. Each check prints what went wrong; the script exits 1
# when anything did, and 77 when a check cannot be made on this desktop, saying why.
#   tests/e2e/runs.sh BIN_DIR CHECK...
# Checks: picture window typing checks statuses capture check record, on X, sway and KWin stop
# lost-server report closing no-protocols, on sway and KWin input late, on X only dialog
# dialog-outcomes spy wayland record-typing, and under Wine only dpi.
set -u
bin=$(cd "$1" && pwd)
shift
exe=
run=()
sep=/
target=ravelkin-target
wayland=
kwin=
if [ -n "${WINE:-}" ]; then
    exe=.exe
    run=("$WINE")
    sep='\'
elif [ -z "${DISPLAY:-}" ] && [ -n "${WAYLAND_DISPLAY:-}" ]; then
    # sway or KWin: the twin of the target, which logs every input event it receives.
    wayland=1
    [ -n "${SWAYSOCK:-}" ] || kwin=1
    target=ravelkin-wayland-target
fi
# GNOME's mutter: driven through its XWayland by the X11 backend (scripts/lib/with-mutter),
# or natively through the portals where there is no DISPLAY (scripts/lib/with-gnome), with the
# target filling the monitor, since GNOME lets no window place itself.
# Natively on GNOME Shell (GNOME_SHELL_PID), its extension tells the windows and grabs the
# stop chord.
gnome=
gnome_native=
gnome_shell=
if [ -n "${GNOME_SHELL_PID:-}" ] && [ -n "$wayland" ]; then
    gnome_native=1
    gnome_shell=1
    kwin=
elif [ -n "${MUTTER_PID:-}" ] && [ -n "$wayland" ]; then
    gnome_native=1
    kwin=
elif [ -n "${MUTTER_PID:-}" ]; then
    gnome=1
fi
# Where start_target's X,Y puts the target: there, or at 0,0 on GNOME.
origin_x=100
origin_y=100
[ -z "$gnome_native" ] || { origin_x=0 origin_y=0; }
# The screen point X,Y of the target window at 100,100, wherever it is: "at X Y".
at() { echo "$(($1 - 100 + origin_x)),$(($2 - 100 + origin_y))"; }
work=$(mktemp -d)
pids=()
stop_programs() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    pids=()
}
cleanup() {
    stop_programs
    rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/../support/checks.sh"

# ravelkin-target at X,Y [--title TEXT]; what it says goes to target.out.
start_target() {
    if [ -n "$gnome_native" ]; then
        shift
        set -- --fullscreen --size "${RAVELKIN_TEST_MUTTER:-1280x800}" "$@"
    else
        set -- --position "$@"
    fi
    "${run[@]}" "$bin/$target$exe" "$@" >"$work/target.out" 2>&1 &
    pids+=($!)
    await grep -q '^ready' "$work/target.out" || fail "the target window did not come up"
}
# KWin shows a window that its program does not say is ready: wait until it lists it.
await_kwin_lists() {
    printf 'CHK_WIND %s\n' "$1" >"$work/listed.dat"
    listed() { (cd "$work" && "$bin/ravelkin" --run listed.dat >/dev/null 2>&1); }
    await listed || fail "KWin does not list the window $1"
}
# ravelkin ARGS... in the script folder: out and status.
ravelkin() {
    out=$(cd "$work" && "${run[@]}" "$bin/ravelkin$exe" "$@" 2>&1)
    status=$?
    out=${out//$'\r'/}
    # On KWin every run begins with the word on its stop key, which statuses checks.
    [ -z "$kwin" ] || out=${out#"$kwin_stop_notice"$'\n'}
    # GNOME's says the same, without a chord where the Shell extension gives none.
    [ -z "$gnome_native" ] ||
        out=${out#"ravelkin: this desktop does not let the program see the right CTRL key;"*$'\n'}
    # Through XWayland every run begins with the notice, which the check wayland looks at.
    [ -z "$gnome" ] || out=${out#"ravelkin: this is a Wayland session."*$'\n'}
}
kwin_stop_notice="ravelkin: this desktop does not let the program see the right CTRL key; \
Ctrl+Alt+End, SIGINT or SIGTERM stops a run"
# A script of the given lines, run: out and status.
run_script() {
    printf '%s\n' "$@" >"$work/t.dat"
    ravelkin --run t.dat
}
# What the target said from its line $1 on, or all of it (its lines end in CR LF under Wine).
target_said() { tr -d '\r' <"$work/target.out" | tail -n +"$((${1:-0} + 1))"; }
# The target said the line (from its line $2 on).
said() { target_said "${2:-0}" | grep -qxF -- "$1"; }
# Where the pointer is: "X,Y" on the X screen, or on sway in the target window's own pixels,
# where the target last saw it (from its line $1 on).
pointer_at() {
    if [ -n "$wayland" ]; then
        target_said "${1:-0}" | sed -n 's/^\(motion\|pointer-enter\) \(.*\) /\2,/p' | tail -1
    else
        xdotool getmouselocation | sed 's/^x:\([0-9]*\) y:\([0-9]*\) .*/\1,\2/'
    fi
}
# sway's node of the window whose title or app id is $1.
sway_window() {
    swaymsg -r -t get_tree |
        jq -e --arg t "$1" 'first(.. | objects | select(.pid? and (.name == $t or .app_id == $t)))'
}
has_focus() { sway_window "$1" | jq -e .focused >/dev/null; }
# The Wayland target has the keyboard: it was last told it entered.
target_focused() { target_said | grep -E '^keyboard-(enter|leave)' | tail -1 | grep -q '^keyboard-enter'; }
begin="-----t.dat実行開始-----"
end="-----t.dat実行完了-----"
logo="Images${sep}1.bmp"

mkdir -p "$work/Images"
"$bin/$target$exe" --save-logo "$work/Images/1.bmp" 2>/dev/null ||
    "${run[@]}" "$bin/$target$exe" --save-logo "$work/Images/1.bmp"
# A checkerboard that is shown nowhere.
cp "$(dirname "$0")/../fuzz/corpus/template/checker24.bmp" "$work/Images/9.bmp"

# Windows: the user's clicks on the calculator recorded (--record, ended with right CTRL) and
# run again with the calculator elsewhere: the recorded pictures find its buttons there, where
# the same clicks as coordinates, which add up at the first place, miss them.
check_record_wine() {
    local key clicks=() coordinates=() recorder from
    centre() { target_said | awk -v key="$1" '$1 == "button" && $2 == key {print $3}'; }
    start_target 100,100 --calculator
    for key in 1 2 + 3 4 =; do
        clicks+=(click "$(centre "$key")" sleep 700)
        # A pause after each, as the recording has: once under Wine, clicks sent back to back
        # did not add up.
        coordinates+=("MOV $(centre "$key")" CLK "WAIT 150")
    done
    (cd "$work" && exec "$WINE" "$bin/ravelkin.exe" --record r.dat) >"$work/record.out" 2>&1 &
    recorder=$!
    await grep -q '^Recording into r.dat' "$work/record.out" || fail "the recording did not start"
    "$WINE" "$bin/ravelkin-send-input.exe" "${clicks[@]}" key 0xA3 || fail "the clicks were not sent"
    ended() { ! kill -0 "$recorder" 2>/dev/null; }
    await ended || { fail "the recording did not end: $(cat "$work/record.out")"; kill "$recorder"; }
    wait "$recorder"
    expect "$?" 0 "the recording's status ($(cat "$work/record.out"))"
    # Each click found by a picture of its own; the right CTRL that ended it is not a line.
    grep -q '^r.dat: [0-9]* lines written, 6 templates saved (' "$work/record.out" ||
        fail "the summary: $(cat "$work/record.out")"
    { [ "$(grep -c '^IMG_CLK ' "$work/r.dat")" -eq 6 ] &&
        ! grep -qv '^\(IMG_CLK\|WAIT\|CHK_WIND\) ' "$work/r.dat"; } ||
        fail "the script: $(cat "$work/r.dat")"
    said "result 46" || fail "the calculator did not add up the clicks: $(target_said)"
    ravelkin --check r.dat
    expect "$status" 0 "the check of the recording ($out)"
    from=$(wc -l <"$work/target.out")
    run_script "${coordinates[@]}"
    await said "result 46" "$from" ||
        fail "the coordinates did not add up at the first place (status $status, $out):" \
            "$(target_said "$from")"
    stop_programs
    start_target 140,130 --calculator
    ravelkin --run r.dat
    expect "$status" 0 "the recording's run ($out)"
    await said "result 46" || fail "the recording at the new place: $(target_said)"
    from=$(wc -l <"$work/target.out")
    run_script "${coordinates[@]}"
    expect "$status" 0 "the coordinates' run"
    sleep 1
    ! said "result 46" "$from" || fail "the coordinates added up at the new place too"
}

# On sway the target goes on the output farthest right; on Wayland the click must land on the
# logo's middle pixel (48,48 of the window).
check_picture() {
    local at=100,100
    [ -z "$wayland" ] || [ -n "$kwin" ] || [ -n "$gnome_native" ] ||
        at=$(swaymsg -r -t get_outputs | jq -r 'max_by(.rect.x).rect | "\(.x + 100),100"')
    start_target "$at"
    run_script "IMG_CLK_F 1,0,0,10000,10000,95"
    expect "$status" 0 status
    expect "$out" "$begin"$'\n'"${logo}を検索し、クリック"$'\n'"$end" log
    await said "click 1" || fail "the logo was not clicked: $(target_said)"
    [ -z "$wayland" ] || expect "$(pointer_at)" 48,48 "where the logo at $at was clicked"
}

# Where the target saw the pointer and its buttons, from its line $1 on: a pointer-enter
# counts as a motion.
pointer_events() {
    target_said "$1" | sed -n 's/^pointer-enter /motion /; /^\(motion\|button\) /p'
}

# On Wayland, where the target logs what it receives: each move lands on its pixel, each
# button goes down and up where the pointer is, a drag holds the left button across moves,
# and a key held by OPE_ON stays down around another key until OPE_OFF lets it go.
check_input() {
    start_target 100,100
    local keys=("OPE_ON CTRL" "OPE DEL" "OPE_OFF CTRL" "OPE ESC")
    if [ -n "$gnome_native" ]; then
        echo "NOT SUPPORTED on a headless GNOME: input's keys: $gnome_no_keyboard"
        keys=()
    elif [ -n "$kwin" ]; then
        await target_focused || fail "the target did not get the focus"
    else
        await has_focus "Ravelkin Target" || fail "the target did not get the focus"
    fi
    local from
    from=$(wc -l <"$work/target.out")
    run_script "MOV $(at 148 148)" "CLK" "MOV $(at 419 259)" "RCLICK" "MOV $(at 116 116)" "DRAG" \
        "MOV $(at 200 130)" "MOV $(at 260 140)" "DROP" "${keys[@]}"
    expect "$status" 0 status
    if [ -z "$gnome_native" ]; then
        await said "key Escape released" "$from" || fail "the last key did not arrive"
        expect "$(target_said "$from" | grep '^key ' | tr '\n' '|')" "key Control_L pressed|\
key Delete pressed|key Delete released|key Control_L released|key Escape pressed|\
key Escape released|" "the keys the target saw"
    else
        await said "button 272 released" "$from" || fail "the drop did not arrive"
        sleep 0.3
    fi
    # From the first move on: a new pointer may enter where the last one left it first, and
    # on GNOME Shell the first move enters the window, a motion to where the enter was.
    expect "$(pointer_events "$from" | awk '!(/^motion / && $0 == last) {print} {last = $0}' |
        sed -n '/^motion 48 48$/,$p' | tr '\n' '|')" "motion 48 48|button 272 pressed|\
button 272 released|motion 319 159|button 273 pressed|button 273 released|motion 16 16|\
button 272 pressed|motion 100 30|motion 160 40|button 272 released|" "what the target saw"
    expect "$(target_said "$from" | grep -c '^click')" 2 "the clicks on the logo"
}

# The outer rectangle of the top-level window titled $1 (its frame, under a window manager):
# left top width height.
outer_rectangle() {
    if [ -n "$kwin" ]; then
        # KWin tells no other client; the target is 320x160 and undecorated, which the
        # pointer's landing point in its own pixels checks.
        echo 100 100 320 160
        return
    elif [ -n "$gnome_shell" ]; then
        # The target fills the monitor.
        local size=${RAVELKIN_TEST_MUTTER:-1280x800}
        echo 0 0 "${size%x*}" "${size#*x}"
        return
    elif [ -n "$wayland" ]; then
        sway_window "$1" | jq -r '.rect | "\(.x) \(.y) \(.width) \(.height)"'
        return
    fi
    local id parent root
    id=$(xdotool search --name "^$1\$" | head -1)
    root=$(xwininfo -root | awk '/Window id:/ {print $4}')
    while parent=$(xwininfo -tree -id "$id" | awk '/Parent window id:/ {print $4}') &&
        [ "$parent" != "$root" ]; do
        id=$parent
    done
    xwininfo -id "$id" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
        /Width:/ {w = $2} /Height:/ {h = $2} /Border width/ {b = $3}
        END {print x - b, y - b, w + 2 * b, h + 2 * b}'
}

check_window() {
    start_target 100,100
    local left top width height line from want
    read -r left top width height < <(outer_rectangle "Ravelkin Target")
    # Wine leaves a captioned window's frame to the window manager, and there is none on its
    # display: X shows only the client area, centred in the frame placed at 100,100.
    [ -z "$exe" ] || top=100
    # The Wayland window is the target's surface, which tells the pointer in its own pixels.
    [ -z "$wayland" ] || left=0 top=0
    want=$((left + width / 2)),$((top + 2))
    there() { [ "$(pointer_at "$from")" = "$want" ]; }
    for line in "WIND Target" "WIND_CLK Target"; do
        from=$(wc -l <"$work/target.out")
        run_script "MOV 0,0" "$line"
        expect "$status" 0 "status of $line"
        await there || fail "$line: the pointer at [$(pointer_at "$from")], want [$want]"
    done
    [ -z "$wayland" ] || await said "button 272 pressed" "$from" || fail "WIND_CLK did not click"
}

# Every byte of the typing table arrives as itself on the US and the Japanese layout (letters
# in lower case); lower-case letters are skipped, BS deletes, RET breaks the line. Wine reads
# the X keymap when a program starts: each layout gets a fresh target and ravelkin.
check_typing() {
    local layout text="ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789-?!,./" layouts=(us jp)
    # sway and KWin take the keys with the program's own keymap, or the US one, whatever the
    # layout.
    [ -z "$wayland" ] || layouts=(own)
    for layout in "${layouts[@]}"; do
        [ -n "$wayland" ] || setxkbmap "$layout"
        start_target 100,100
        if [ -n "$kwin" ]; then
            await target_focused || fail "the target did not get the focus"
        elif [ -n "$wayland" ]; then
            await has_focus "Ravelkin Target" || fail "the target did not get the focus"
        elif [ -z "$exe" ]; then
            # The target takes the keyboard focus once it is shown.
            local id
            id=$(printf '%d' "$(sed -n 's/^ready //p' "$work/target.out")")
            focused() { [ "$(xdotool getwindowfocus)" = "$id" ]; }
            await focused || fail "the target did not get the focus on $layout"
        fi
        run_script "STR ${text}9x" "OPE BS" "OPE RET" "STR OK"
        expect "$status" 0 "status on $layout"
        await said "text ${text,,}\\nok" ||
            fail "typed on $layout: $(grep "^text" "$work/target.out" | tail -1)"
        kill "${pids[-1]}"
        wait "${pids[-1]}" 2>/dev/null
    done
    [ -n "$wayland" ] || { setxkbmap us; return; }
    if [ -n "$kwin" ]; then
        # A real client: GTK's entry field, which prints what it holds when Return closes
        # it. (foot dies of a division by zero on KWin's virtual output.)
        zenity --entry --title "Ravelkin Entry" --text Type >"$work/entry.out" 2>/dev/null &
        pids+=($!)
        local entry=$!
        await_kwin_lists "Ravelkin Entry"
        # Given the keyboard as a user gives it, by a click on its title bar.
        run_script "WIND_CLK Ravelkin Entry" "WAIT 300" "STR ${text}9x" "OPE BS" "OPE RET"
        expect "$status" 0 "status in the entry"
        gone() { ! kill -0 "$entry" 2>/dev/null; }
        await gone || fail "the entry stayed open"
        expect "$(cat "$work/entry.out")" "${text,,}" "what the entry held"
        return
    fi
    # A real terminal: the command typed into its shell makes the folders it names.
    mkdir "$work/term"
    foot --working-directory="$work/term" sh >"$work/foot.out" 2>&1 &
    pids+=($!)
    await has_focus foot || fail "foot did not get the focus: $(cat "$work/foot.out")"
    text=${text%/}
    run_script "STR MKDIR -P ${text// //}9x" "OPE BS" "OPE RET"
    expect "$status" 0 "status in foot"
    text=${text,,}
    await test -d "$work/term/${text// //}" || fail "foot's shell made $(ls -R "$work/term")"
}

# Recording, on X: xdotool clicks 12+34= on xcalc while ravelkin records. Run again on the
# calculator started 40,30 further on, the recorded pictures show 46; the same clicks at the
# recorded places do not. A full disk or a folder that takes no file leaves nothing behind,
# and an existing script is kept unless the user says y.
check_record() {
    if [ -n "$exe" ]; then
        check_record_wine
        return
    elif [ -n "$wayland" ]; then
        ravelkin --record r.dat
        expect "$status" 2 "the status of recording on Wayland"
        [[ $out == *"record in an X11 session"* ]] || fail "the refusal: $out"
        [ -z "$(ls "$work" | grep '^r\.dat')" ] || fail "recording on Wayland left a file"
        return
    fi
    # The centres of 1 2 + 3 4 = and of the display, from the calculator's corner.
    local keys=(70,381 113,381 201,381 157,381 70,351 201,411) key recorder
    start_calculator() {
        xcalc -geometry "+$1+$2" >/dev/null 2>&1 &
        pids+=($!)
        await xdotool search --onlyvisible --name '^Calculator$' >/dev/null || fail "no xcalc"
        sleep 0.5
    }
    stop_calculator() {
        kill "${pids[-1]}"
        wait "${pids[-1]}" 2>/dev/null
        unset 'pids[-1]'
    }
    # The calculator at $1,$2 shows $3: its display, clicked, is the primary selection.
    shows() {
        xdotool mousemove $(($1 + 160)) $(($2 + 40)) click 1
        sleep 0.3
        [ "$(xclip -o -selection primary 2>/dev/null)" = "$3" ]
    }
    # ravelkin records into $1 in the background, under the command of the other words; what
    # it says goes to record.out through a pipe, which no limit on file sizes stops.
    start_recording() {
        local file=$1
        shift
        : >"$work/record.out"
        (cd "$work" && exec "$@" "$bin/ravelkin" --record "$file") > >(cat >"$work/record.out") 2>&1 &
        recorder=$!
        await grep -q '^Recording' "$work/record.out" || fail "no recording: $(cat "$work/record.out")"
    }
    start_calculator 100 100
    start_recording r.dat
    for key in "${keys[@]}"; do
        xdotool mousemove $((100 + ${key%,*})) $((100 + ${key#*,})) click 1
        sleep 0.7
    done
    xdotool keydown Control_R keyup Control_R
    wait "$recorder"
    expect "$?" 0 "the status of the recording"
    grep -qE '^r\.dat: [0-9]+ lines written, 6 templates saved' "$work/record.out" ||
        fail "the summary: $(cat "$work/record.out")"
    expect "$(grep -c '^IMG_CLK' "$work/r.dat")" 6 "clicks found by pictures: $(cat "$work/r.dat")"
    ravelkin --check r.dat
    expect "$status:$out" "0:" "the check of the recorded script"

    stop_calculator
    start_calculator 140 130
    ravelkin --run r.dat
    expect "$status" 0 "the status of the recorded script"
    shows 140 130 46 || fail "the recorded script did not give 46: $out"
    stop_calculator
    start_calculator 140 130
    local places=()
    for key in "${keys[@]}"; do places+=("MOV $((100 + ${key%,*})),$((100 + ${key#*,}))" CLK); done
    run_script "${places[@]}"
    ! shows 140 130 46 || fail "the clicks at the recorded places gave 46 as well"

    local kept
    kept=$(cksum <"$work/r.dat")
    ravelkin --record r.dat </dev/null
    expect "$status" 2 "the status when not told to replace"
    expect "$(cksum <"$work/r.dat")" "$kept" "the script kept"
    : >"$work/folder"
    ravelkin --record folder/r.dat
    expect "$status" 2 "the status of recording into a file's folder"
    [[ $out == "ravelkin: cannot write folder/r.dat.part"* ]] || fail "the message: $out"
    # A full disk, as a limit on the size of files: no template or script can be written.
    local before
    before=$(ls "$work" "$work/Images")
    start_recording full.dat bash -c 'ulimit -f 0 && trap "" XFSZ && exec "$@"' limited
    xdotool mousemove 210 511 click 1
    sleep 1
    xdotool keydown Control_R keyup Control_R
    wait "$recorder"
    expect "$?" 2 "the status of recording on a full disk"
    await grep -q "cannot write .*nothing was recorded" "$work/record.out" ||
        fail "the message on a full disk: $(cat "$work/record.out")"
    expect "$(ls "$work" "$work/Images")" "$before" "the files after a full disk"
}

# Recording typing into a terminal, Ctrl+U, BS and Return included: the script types the same
# command again in a new terminal. SIGINT ends the recording and keeps what it saw.
check_record-typing() {
    [ -z "$exe$wayland" ] || return 0
    mkdir "$work/term"
    start_terminal() {
        (cd "$work/term" && exec xterm -T shell -geometry 80x10+100+100 -e sh) 2>/dev/null &
        pids+=($!)
        active() { [ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = shell ]; }
        await active || fail "the terminal did not get the focus"
        sleep 0.5
    }
    start_terminal
    (cd "$work" && exec "$bin/ravelkin" --record typed.dat) >"$work/record.out" 2>&1 &
    local recorder=$!
    await grep -q '^Recording' "$work/record.out" || fail "no recording: $(cat "$work/record.out")"
    xdotool type --delay 40 'echo junk'
    xdotool key ctrl+u
    xdotool type --delay 40 'mkdir -p ab/12-3,4.xyz'
    xdotool key BackSpace Return
    await test -d "$work/term/ab/12-3,4.xy" || fail "the shell made $(ls -R "$work/term")"
    kill -INT "$recorder"
    wait "$recorder"
    expect "$?" 0 "the status of the recording ended by SIGINT"
    expect "$(cat "$work/typed.dat")" "STR ECHO JUNK
OPE_ON CTRL
STR U
OPE_OFF CTRL
STR MKDIR -P AB/12-3,4.XYZ
OPE BS
OPE RET" "the recorded script"
    stop_programs
    rm -r "$work/term/ab"
    start_terminal
    ravelkin --run typed.dat
    expect "$status" 0 "the status of the recorded typing"
    await test -d "$work/term/ab/12-3,4.xy" || fail "the script made $(ls -R "$work/term")"
}

# Runs each "LINE|ERROR" case read from stdin as a one-line script: it passes where ERROR is
# empty, and otherwise fails with it as the end of the log.
run_check_cases() {
    local line want
    while IFS='|' read -r line want; do
        run_script "$line"
        expect "$status" "$([ -n "$want" ] && echo 2 || echo 0)" "status of $line"
        expect "${out##*$'\n'}" "${want:+エラーが発生しました: $want}$end" "end of the log of $line"
    done
}

# Each failing check stops the run with its message; a script in Shift-JIS, as written on
# Windows, finds a Japanese title.
check_checks() {
    if [ -n "$gnome_native" ] && [ -z "$gnome_shell" ]; then
        check_picture_checks
        return
    fi
    start_target 100,100
    start_target 300,200 --title "無題 - メモ帳"
    run_check_cases <<EOF_CASES
CHK_IMG 9,0,0,10000,10000,95|Can't find like Images${sep}9.bmp 
CHK_NOIMG 1,0,0,10000,10000,95|Find like ${logo} 
CHK_WIND No Such Window|Can't find Window No Such Window
CHK_NOWIND Ravelkin Target|Find Window Ravelkin Target
$(printf 'CHK_WIND \x83\x81\x83\x82\x92\xA0\r')|
EOF_CASES
}

# On GNOME, a loop of runs asks the user once, through the session service; without it, each
# run holds a session of its own and asks again (RAVELKIN_TEST_SESSION_SERVICE=none).
check_session() {
    start_target 100,100
    local i
    for i in 1 2 3 4; do
        run_script "IMG_CLK 1,0,0,10000,10000,95"
        expect "$status" 0 "the status of run $i ($out)"
        await said "click $i" || fail "run $i did not click the logo: $(target_said)"
    done
    local asked=1
    [ "${RAVELKIN_TEST_SESSION_SERVICE:-}" != none ] || asked=4
    expect "$(grep -c '^answered$' "$RAVELKIN_TEST_CONSENT_LOG")" "$asked" "the dialogs answered"
}

# The picture checks alone, each way, where the windows cannot be listed (GNOME without its
# Shell extension), and a window check that says why.
check_picture_checks() {
    echo "NOT SUPPORTED on GNOME: the window checks of checks: $gnome_no_windows"
    start_target 100,100
    run_check_cases <<EOF_CASES
CHK_IMG 9,0,0,10000,10000,95|Can't find like Images${sep}9.bmp 
CHK_NOIMG 1,0,0,10000,10000,95|Find like ${logo} 
CHK_IMG 1,0,0,10000,10000,95|
CHK_NOIMG 9,0,0,10000,10000,95|
EOF_CASES
    # Never passed for want of a list of windows.
    run_script "CHK_NOWIND No Such Window"
    expect "$status" 2 "status of CHK_NOWIND"
    [[ ${out##*$'\n'} == "エラーが発生しました: Cannot look for Window No Such Window: "* ]] ||
        fail "the end of the log of CHK_NOWIND: $out"
}

check_statuses() {
    printf 'WAIT 1\n' >"$work/ok.dat"
    printf 'NOPE\n' >"$work/bad.dat"
    ravelkin --run ok.dat ok.dat
    expect "$status" 0 "two files"
    ravelkin --run
    expect "$status" 64 "no file"
    ravelkin --frobnicate
    expect "$status" 64 "an unknown option"
    ravelkin --version
    expect "${out%%$'\n'*}" "Ravelkin 1.0.0.2" "version"
    ravelkin --run ok.dat missing.dat
    expect "$status" 3 "a missing file"
    expect "${out##*$'\n'}" "ravelkin: cannot load script file 'missing.dat'" "its message"
    ravelkin --run bad.dat ok.dat
    expect "$status" 2 "a failing file"
    [[ $out != *ok.dat* ]] || fail "the job went on after bad.dat"
    if [ -z "$exe" ]; then
        DISPLAY=:4711 WAYLAND_DISPLAY=wayland-4711 ravelkin --run ok.dat
        expect "$status" 69 "no display"
        DISPLAY=:4711 WAYLAND_DISPLAY=wayland-4711 ravelkin
        expect "$status" 69 "the dialog without a display"
        [[ $out == "ravelkin: "*":4711"* ]] || fail "its message: $out"
        # Copied without its user interface, the program says so instead of opening nothing.
        mkdir "$work/alone" && cp "$bin/ravelkin" "$work/alone/"
        out=$(DISPLAY=:4711 WAYLAND_DISPLAY=wayland-4711 "$work/alone/ravelkin" 2>&1) ||
            expect "$?" 69 "status alone"
        [[ $out == "ravelkin: cannot start the user interface: "* ]] || fail "its message: $out"
        # The backend that drives this desktop, and one forced that cannot, or none there is.
        local backend=x11 other=wayland other_name=Wayland
        [ -z "$wayland" ] || backend="wayland (sway)" other=x11 other_name=X11
        [ -z "$kwin" ] || backend=kwin
        ravelkin --version
        expect "$(grep '^Backend:' <<<"$out")" "Backend: $backend" "the backend"
        if [ -n "$kwin" ]; then
            out=$(cd "$work" && "$bin/ravelkin" --run ok.dat 2>&1 >/dev/null)
            expect "$out" "$kwin_stop_notice" "what a run on KWin says of its stop key"
        fi
        RAVELKIN_BACKEND=$other ravelkin --run ok.dat
        expect "$status" 69 "$other forced"
        [[ $out == "ravelkin: $other_name: "* ]] || fail "its message: $out"
        RAVELKIN_BACKEND=bogus ravelkin --run ok.dat
        expect "$status" 69 "an unknown backend"
        expect "$out" "ravelkin: RAVELKIN_BACKEND is 'bogus'; it may be wayland, kwin, gnome or x11" message
    fi
}

# Windows: ravelkin.exe is per-monitor DPI-aware, as its manifest says, and sees the DPI of
# the display (96 in the test prefix); --version says so. Per-monitor v2 where the system
# knows it, which Wine 8 does not.
check_dpi() {
    ravelkin --version
    [[ $(grep '^DPI' <<<"$out") =~ ^DPI\ awareness:\ per-monitor(\ v2)?,\ 96\ dpi$ ]] ||
        fail "--version says [$out]"
}

# Starts ravelkin --trace --run on t.dat in the background; returns once the run has reached
# the line (the second time the trace shows it: the first is the loader's listing).
start_run_until() {
    ravelkin_out=$work/run.out
    (cd "$work" && exec "$bin/ravelkin" --trace --run t.dat) >"$ravelkin_out" 2>&1 &
    ravelkin_pid=$!
    reached() { [ "$(grep -cxF "COMLIST: [$1]" "$ravelkin_out")" -ge 2 ]; }
    await reached "$1" || fail "the run did not reach $1"
}
# The status of the run start_run_until started, once it ends (at most 20 seconds).
end_of_run() {
    ended() { ! kill -0 "$ravelkin_pid" 2>/dev/null; }
    await ended || { fail "the run did not end"; kill -KILL "$ravelkin_pid"; }
    wait "$ravelkin_pid"
}
# Keys or buttons the program left down (on sway from the target's line $1 on).
held_anywhere() {
    if [ -n "$wayland" ]; then
        # sway lets go of the keys itself when the program ends, after its pointer has gone
        # (the pointer, over the target all along, leaves it): what counts comes before.
        target_said "$1" | awk '/^(key|button) / {seen = 1; down[$2] = $3 == "pressed"; next}
            seen && /^pointer-leave/ {exit} END {for (k in down) if (down[k]) exit 0; exit 1}'
        return
    fi
    xinput query-state "Virtual core XTEST keyboard" | grep -q '=down' ||
        xinput query-state "Virtual core XTEST pointer" | grep -q '=down'
}

# However a run ends early, what the script pressed is let go: nothing stays down.
check_stop() {
    start_target 100,100
    # On sway the target sees what is held, with the pointer over it (off the logo).
    local how last want from at=5,5 holder
    [ -z "$wayland" ] || at=350,150
    while IFS='|' read -r how last want; do
        from=$(wc -l <"$work/target.out")
        printf '%s\n' "MOV $at" "OPE_ON CTRL" "OPE_ON ALT" "DRAG" "$last" "CLK" >"$work/t.dat"
        start_run_until "$last"
        case $how in
            key) if [ -n "$gnome_shell" ]; then
                # The user at the headless GNOME Shell presses the stop chord.
                kill -USR1 "$RAVELKIN_TEST_CONSENT_PID"
            elif [ -n "$kwin" ]; then
                # The stop chord as KGlobalAccel reports it; the desktop contract presses its
                # keys.
                dbus-send --session --print-reply --dest=org.kde.kglobalaccel \
                    /component/ravelkin org.kde.kglobalaccel.Component.invokeShortcut \
                    string:stop >/dev/null
            elif [ -n "$wayland" ]; then
                # Held past the end of the WAIT, from a keyboard of its own.
                wtype -P Control_R -s 4000 -p Control_R &
                holder=$!
            else
                xdotool keydown Control_R
            fi ;;
            signal) kill -INT "$ravelkin_pid" ;;
        esac
        end_of_run
        expect "$?" "$([ "$how" = fails ] && echo 2 || echo 1)" "status when it $how"
        if [ -z "$wayland" ]; then
            xdotool keyup Control_R
        elif [ "$how" = key ] && [ -z "$kwin" ] && [ -z "$gnome_native" ]; then
            wait "$holder"
        fi
        [[ $(<"$ravelkin_out") == *"$(printf '%b%s' "$want" "$end")" ]] ||
            fail "the end of the log when it $how: $(tail -2 "$ravelkin_out")"
        # No key reaches a window on a headless GNOME: there the button alone.
        [ -z "$wayland" ] || { { [ -n "$gnome_native" ] || said "key Control_L pressed" "$from"; } &&
            said "button 272 pressed" "$from"; } || fail "nothing pressed reached the target: $how"
        released() { ! held_anywhere "$from"; }
        await released || fail "something stayed down when it $how"
    done <<EOF_CASES
key|WAIT 3000|キャンセルされました\n
signal|WAIT 60000|キャンセルされました\n
fails|CHK_WIND No Such Window|エラーが発生しました: Can't find Window No Such Window
EOF_CASES
    ! grep -q click "$work/target.out" || fail "the logo was clicked"
}

# The X server or the compositor goes away in the middle of a long run (on sway in a long
# WAIT): the run fails with the reason, not a crash, a hang or Xlib's exit.
check_lost-server() {
    start_target 100,100
    local pause=20 server=${XVFB_PID:-} why="lost the connection to X display \"${DISPLAY:-}\""
    [ -z "$wayland" ] || pause=60000 server=${SWAY_PID:-${KWIN_PID:-}} \
        why="the Wayland compositor has gone (*)"
    {
        echo "WAIT 1"
        for _ in $(seq 2000); do
            printf '%s\n' "CHK_WIND Ravelkin Target" "CHK_NOIMG 9,0,0,800,600,95" \
                "IMG 1,0,0,800,600,95" "WIND Ravelkin Target" "WAIT $pause"
        done
    } >"$work/t.dat"
    start_run_until "WAIT $pause"
    kill -KILL "$server"
    end_of_run
    expect "$?" 2 status
    # On sway a pattern: the system's text names the socket's error.
    local last="エラーが発生しました: $why$end"
    # shellcheck disable=SC2053
    [[ $(tail -1 "$ravelkin_out") == $last ]] || fail "the log's end: $(tail -1 "$ravelkin_out")"
}

# The compositor reads the run's last move and click only after the run's end (stopped while
# the run waits): the run ends once they are taken, so they are not lost with the connection.
check_late() {
    start_target 100,100
    local server=${SWAY_PID:-${KWIN_PID:-}}
    printf '%s\n' "WAIT 1000" "MOV 148,148" "CLK" >"$work/t.dat"
    start_run_until "WAIT 1000"
    kill -STOP "$server"
    # Longer than a call on the session bus waits for KWin.
    sleep 4
    kill -CONT "$server"
    end_of_run
    expect "$?" 0 status
    await said "click 1" || fail "the click was lost: $(target_said)"
}

# The window goes while a run clicks it again and again, the closing falling anywhere between
# lookup and click: the run fails cleanly once it is gone.
check_closing() {
    local delay
    printf 'WIND_CLK Ravelkin Target\n%.0s' $(seq 20000) >"$work/t.dat"
    # Before the first click, while it waits for the seat to take the new pointer (on sway),
    # and among the clicks.
    for delay in 0 0.5 1.5; do
        start_target 100,100
        start_run_until "WIND_CLK Ravelkin Target"
        sleep "$delay"
        kill "${pids[-1]}"
        end_of_run
        expect "$?" 2 "status after $delay s"
        expect "$(tail -1 "$ravelkin_out")" \
            "エラーが発生しました: Can't find Window Ravelkin Target$end" "the log's end after $delay s"
    done
}

# weston offers none of the wlr protocols: the run names what is missing when there is no X
# display besides (sway's environment), and drives X when there is one.
check_no-protocols() {
    local dir=$work/weston as=()
    mkdir -m 700 "$dir"
    if [ "$(id -u)" -eq 0 ]; then
        # weston, like sway, does not run as root.
        chmod 711 "$work"
        chown 65534:65534 "$dir"
        as=(--reuid=65534 --regid=65534 --clear-groups)
    fi
    setpriv --pdeathsig TERM "${as[@]}" env -i HOME="$dir" XDG_RUNTIME_DIR="$dir" \
        PATH=/usr/bin:/bin weston --backend=headless-backend.so --socket=weston-e2e --no-config \
        >"$work/weston.log" 2>&1 &
    pids+=($!)
    await test -S "$dir/weston-e2e" || fail "weston did not start: $(cat "$work/weston.log")"
    printf 'WAIT 1\n' >"$work/ok.dat"
    WAYLAND_DISPLAY=$dir/weston-e2e ravelkin --run ok.dat
    if [ -n "$wayland" ]; then
        expect "$status" 69 status
        expect "$out" "ravelkin: no desktop could be opened (Wayland: the Wayland compositor does \
not offer wl_seat, zwlr_screencopy_manager_v1, zwlr_virtual_pointer_manager_v1, \
zwp_virtual_keyboard_manager_v1, zwlr_foreign_toplevel_manager_v1; KWin: the Wayland compositor \
is not KWin (it offers no org_kde_kwin_fake_input 4, org_kde_plasma_window_management); X11: \
cannot open the X display: \$DISPLAY is not set)" message
    else
        expect "$status" 0 "status with an X display"
        WAYLAND_DISPLAY=$dir/weston-e2e ravelkin --version
        expect "$(grep '^Backend:' <<<"$out")" "Backend: x11" "the backend with an X display"
    fi
}

# The dialog: the scripts of the folder listed, "順番に実行" ticked and "開始" pressed from the
# keyboard; the success message confirmed and the dialog closed.
check_dialog() {
    start_target 0,0
    printf 'IMG_CLK_F 1,0,0,1024,768,95\n' >"$work/click-logo.dat"
    (cd "$work" && exec "$bin/ravelkin") >/dev/null 2>&1 &
    local dialog=$!
    await xdotool search --onlyvisible --name '^Ravelkin$' >/dev/null || fail "no dialog"
    # Named after the program started, as desktops match windows to their menu entries.
    local window
    window=$(xdotool search --onlyvisible --name '^Ravelkin$')
    expect "$(xprop -id "$window" WM_CLASS)" 'WM_CLASS(STRING) = "ravelkin", "Ravelkin"' \
        "the window class"
    # The window's icons, which the window manager and the task bar show.
    xprop -id "$window" _NET_WM_ICON | grep -q 'Icon (32 x 32)' || fail "the dialog has no icon"
    # The focus starts on "終了" once the toolkit has taken the keyboard focus in.
    sleep 1
    xdotool key Tab Tab Tab space shift+Tab shift+Tab space
    await said "click 1" || fail "the logo was not clicked: $(target_said)"
    # The message box's caption is the program's name, which xdotool matches in any case: the
    # dialog and the message make two windows.
    shown() { [ "$(xdotool search --onlyvisible --name '^ravelkin$' | wc -l)" -eq "$1" ]; }
    await shown 2 || fail "no message"
    xdotool key Return
    await shown 1 || fail "the message stayed"
    xdotool key Escape
    wait "$dialog"
    expect "$?" 0 "the program's status"
}

# What openbox says of a window: Normal, Iconic, or nothing once it is gone.
window_state() { xprop -id "$1" WM_STATE 2>/dev/null | sed -n 's/^[[:space:]]*window state: //p'; }

# The text of the message box on the screen, read from outside through the accessibility bus
# as a screen reader reads it (Debian's Python has pyatspi); waits for one, at most 20 seconds.
message_text() {
    DBUS_SESSION_BUS_ADDRESS=$1 /usr/bin/python3 - <<'EOF_PY'
import time, pyatspi
def shown():
    for app in pyatspi.Registry.getDesktop(0):
        for window in app or []:
            if window and window.getRole() == pyatspi.ROLE_ALERT:
                found = pyatspi.findAllDescendants(window, lambda n: n.getRoleName() == "label")
                return "\n".join(label.name for label in found if label.name)
deadline = time.monotonic() + 20
while time.monotonic() < deadline:
    try:
        text = shown()
    except Exception:  # an application that went away meanwhile
        text = None
    if text is not None:
        print(text)
        raise SystemExit(0)
    time.sleep(0.05)
raise SystemExit(1)
EOF_PY
}

# The dialog as a user sees it run scripts: chosen from the list and started from the
# keyboard, it is minimised while the script runs, back when the message says how it ended
# (its caption the program's name), and the message is the run's own.
check_dialog-outcomes() {
    # A session bus of its own, through which the toolkit tells assistive technologies what
    # its windows show.
    dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
    pids+=($!)
    await test -s "$work/bus" || fail "no session bus"
    local bus dialog program how want text keys="Tab Tab Down shift+Tab space"
    bus=$(head -1 "$work/bus")
    mkdir "$work/outcomes"
    start_target 0,0
    # The stop key cancels before the next line, whichever it is by then.
    printf 'WAIT 2000\n%.0s' 1 2 3 4 5 >"$work/outcomes/a-cancel.dat"
    printf '%s\n' "WAIT 2000" "CHK_WIND No Such Window" >"$work/outcomes/b-fail.dat"
    printf '%s\n' "WAIT 2000" >"$work/outcomes/c-ok.dat"
    (cd "$work/outcomes" && DBUS_SESSION_BUS_ADDRESS=$bus exec env -u NO_AT_BRIDGE "$bin/ravelkin") \
        >/dev/null 2>&1 &
    program=$!
    await xdotool search --onlyvisible --name '^Ravelkin$' >/dev/null || fail "no dialog"
    dialog=$(xdotool search --onlyvisible --name '^Ravelkin$')
    # The message box: the other window named after the program, in any case as xdotool
    # matches; its name as it is.
    caption() {
        local w
        for w in $(xdotool search --onlyvisible --name '^ravelkin$'); do
            [ "$w" = "$dialog" ] || xdotool getwindowname "$w"
        done
    }
    iconic() { [ "$(window_state "$dialog")" = Iconic ]; }
    no_message() { [ -z "$(caption)" ]; }
    a_window() { [ -n "$(caption)" ]; }
    # The focus starts on "終了" once the toolkit has taken the keyboard focus in.
    sleep 1
    while IFS='|' read -r how want; do
        # The next script in the list, started; after a job the focus is back on "開始" and
        # the list keeps its selection.
        xdotool key $keys
        keys="Tab Down shift+Tab space"
        await iconic || fail "the dialog stayed on the screen while it $how"
        [ "$how" != "was cancelled" ] || xdotool keydown Control_R
        text=$(message_text "$bus") || fail "no message when it $how"
        xdotool keyup Control_R
        expect "$text" "$want" "the message when it $how"
        expect "$(window_state "$dialog")" Normal "the dialog behind the message when it $how"
        expect "$(caption)" ravelkin "the message's caption when it $how"
        xdotool key Return
        await no_message || fail "the message stayed when it $how"
    done <<EOF_CASES
was cancelled|キャンセルされました
failed|エラーが発生しました: Can't find Window No Such Window
completed|成功しました!!
EOF_CASES

    # A template made from the context menu: the number asked for, the dialog out of the way
    # while the logo is dragged over, the line shown and put on the clipboard; it clicks.
    local width height line before
    read -r width height < <(xdotool getwindowgeometry "$dialog" |
        sed -n 's/^ *Geometry: \([0-9]*\)x\([0-9]*\)$/\1 \2/p')
    windows() { xdotool search --onlyvisible --pid "$program" | wc -l; }
    before=$(windows)
    # Right-clicked on a spot with no control (150,256 of the dialog's 254x269 dialog units),
    # again until the menu shows: a busy dialog may miss the first click.
    open_menu() {
        xdotool mousemove --window "$dialog" $((width * 150 / 254)) $((height * 256 / 269)) click 3
        local _
        for _ in $(seq 20); do [ "$(windows)" -gt "$before" ] && return 0; sleep 0.1; done
        return 1
    }
    await open_menu || fail "no context menu"
    sleep 0.3
    xdotool key Down Down Return
    # The number is typed once its box has the keyboard.
    asked() {
        local active
        active=$(xdotool getactivewindow 2>/dev/null) && [ "$active" != "$dialog" ] &&
            [ "$(xdotool getwindowname "$active")" = Ravelkin ]
    }
    await asked || fail "no number asked for the template"
    sleep 0.3
    xdotool key ctrl+a type 6
    xdotool key Return
    await iconic || fail "the dialog stayed on the screen for the capture"
    await a_window || fail "no overlay"
    sleep 0.5
    xdotool mousemove 16 36 mousedown 1 mousemove 50 70 mousemove 80 100 mouseup 1
    # The messages before may linger a while on the accessibility bus.
    captured() { text=$(message_text "$bus") && [[ $text == "IMG_CLK 6,"* ]]; }
    await captured || fail "no message with the captured line: $text"
    line=${text%%$'\n'*}
    expect "$(xclip -o -selection clipboard)" "$line" "the line on the clipboard"
    expect "$(window_state "$dialog")" Normal "the dialog behind the capture's message"
    xdotool key Return
    await no_message || fail "the capture's message stayed"

    # A script recorded from the context menu: its name asked for, the dialog out of the way
    # while the logo is clicked, until the right CTRL key; the summary shown, the script listed.
    await open_menu || fail "no context menu for recording"
    sleep 0.3
    xdotool key Down Down Down Return
    await asked || fail "no name asked for the recording"
    sleep 0.3
    xdotool key ctrl+a type rec
    xdotool key Return
    await iconic || fail "the dialog stayed on the screen while recording"
    sleep 0.5
    xdotool mousemove 48 68 click 1
    sleep 0.5
    xdotool keydown Control_R keyup Control_R
    recorded() { text=$(message_text "$bus") && [[ $text == "rec.dat: 2 lines written, 1 "* ]]; }
    await recorded || fail "no message with the recording's summary: $text"
    xdotool key Return
    await no_message || fail "the recording's message stayed"
    xdotool key Escape
    wait "$program"
    expect "$?" 0 "the program's status"
    local from
    printf '%s\n' "$line" >"$work/outcomes/captured.dat"
    for script in captured rec; do
        from=$(wc -l <"$work/target.out")
        (cd "$work/outcomes" && "$bin/ravelkin" --run "$script.dat" >/dev/null 2>&1) ||
            fail "$script.dat did not run"
        clicked() { target_said "$from" | grep -q '^click'; }
        await clicked || fail "$script.dat did not click the logo"
    done
}

# A template captured from the screen, given as an area or dragged over the screenshot, and
# the line printed for it, finds and clicks it.
check_capture() {
    start_target 100,100
    ravelkin --capture 4 --area "$(at 116 136),$(at 180 200)"
    expect "$status" 0 status
    [[ $out == "IMG_CLK 4,"* ]] || fail "the line: $out"
    run_script "$out"
    expect "$status" 0 "the run of the line"
    await said "click 1" || fail "the logo was not clicked: $(target_said)"
    # A template that exists is replaced only when the user says y.
    local before
    before=$(cksum <"$work/Images/4.bmp")
    ravelkin --capture 4 --area "$(at 100 100),$(at 140 140)" </dev/null
    expect "$status" 2 "the status when not told to replace"
    expect "$(cksum <"$work/Images/4.bmp")" "$before" "the template kept"
    ravelkin --capture 4 --area "$(at 100 100),$(at 140 140)" <<<y
    expect "$status" 0 "the status when told to replace"
    [ "$(cksum <"$work/Images/4.bmp")" != "$before" ] || fail "the template was not replaced"
    if [ -n "$gnome_native" ]; then
        echo "NOT SUPPORTED on GNOME: capture's dragged area: $gnome_no_overlay"
        return
    fi

    (cd "$work" && exec "${run[@]}" "$bin/ravelkin$exe" --capture 5) >"$work/capture.out" \
        2>"$work/capture.err" &
    local capture=$!
    if [ -n "$kwin" ]; then
        # The overlay, full screen, takes the pointer from the target beneath.
        local from
        from=$(wc -l <"$work/target.out")
        run_script "MOV 300,150"
        await said "pointer-leave" "$from" || fail "no overlay: $(cat "$work/capture.err")"
        sleep 0.5
        run_script "MOV 116,136" "DRAG" "MOV 150,170" "MOV 180,200" "DROP"
    elif [ -n "$wayland" ]; then
        shown() { sway_window Ravelkin | jq -e .visible >/dev/null; }
        await shown || fail "no overlay"
        sleep 0.5
        # Dragged with the program's own pointer: sway's "seat cursor" commands reach a GTK
        # window's drag as a 2x2 rectangle where they pressed.
        run_script "MOV 116,136" "DRAG" "MOV 150,170" "MOV 180,200" "DROP"
    else
        await xdotool search --onlyvisible --name '^Ravelkin$' >/dev/null || fail "no overlay"
        sleep 0.5
        xdotool mousemove 116 136 mousedown 1 mousemove 150 170 mousemove 180 200 mouseup 1
    fi
    capture_ended() { ! kill -0 "$capture" 2>/dev/null; }
    await capture_ended || { fail "the overlay took no drag"; kill "$capture"; }
    wait "$capture"
    expect "$?" 0 "the status of the capture with the overlay"
    local line
    line=$(head -1 "$work/capture.out" | tr -d '\r')
    [[ $line == "IMG_CLK 5,"* ]] || fail "the dragged line: $line; $(cat "$work/capture.err")"
    run_script "$line"
    expect "$status" 0 "the run of the dragged line ($out)"
    await said "click 2" || fail "the logo was not clicked from the dragged capture"
}

# The target under openbox, as the pointer finds it.
check_spy() {
    start_target 100,100
    local left top width height last
    read -r left top width height < <(outer_rectangle "Ravelkin Target")
    xdotool mousemove 300 180
    (cd "$work" && exec "$bin/ravelkin" --spy) >"$work/spy.out" 2>&1 &
    local spy=$!
    shows() { grep -q 'Ravelkin Target' "$work/spy.out"; }
    await shows || fail "the spy saw no window"
    kill -INT "$spy"
    wait "$spy"
    expect "$?" 0 "the spy's status"
    last=$(tr '\r' '\n' <"$work/spy.out" | grep 'Ravelkin Target' | tail -1 | sed 's/ *$//')
    expect "$last" "pointer 300,180 #c0c0c0  window \"Ravelkin Target\" $left,$top,$((left + width)),$((top + height))  WIND_CLK clicks $((left + width / 2)),$((top + 2))" "the spy's line"
}

# One finding of each kind, as compilers write them.
check_check() {
    printf '%s\n' "mov 1,2" "IMG 7,0,0,800,600,90" "STR Hi" "OPE_ON CTRL" >"$work/c.dat"
    ravelkin --check c.dat
    expect "$status" 2 status
    expect "$out" "c.dat:1: error: unknown command 'mov': the run stops here (commands are upper case: MOV)
c.dat:2: error: Images${sep}7.bmp does not exist
c.dat:3: warning: STR does not type 'i' (letters are typed as written in capitals, and arrive in lower case)
c.dat:4: warning: CTRL is still down at the end of the file; it is released when the job ends" findings
}

# The report of a run with one found and one failed search, as a browser shows it: every
# picture loads and the failure is there.
check_report() {
    start_target 100,100
    run_script "IMG_CLK 1,0,0,10000,10000,95" "CHK_IMG 9,0,0,10000,10000,95"
    ravelkin --run t.dat --report report
    expect "$status" 2 status
    cat >"$work/look.html" <<'EOF_HTML'
<!DOCTYPE html><html><body><iframe id="report" src="report/index.html"></iframe><script>
document.getElementById("report").addEventListener("load", () => {
  const page = document.getElementById("report").contentDocument;
  const broken = [...page.images].filter((i) => !(i.complete && i.naturalWidth > 0));
  const failed = page.querySelector("tr.failed") !== null &&
                 page.body.textContent.includes("Can't find like");
  document.body.dataset.seen = `pictures ${page.images.length} broken ${broken.length} failure ${failed}`;
});
</script></body></html>
EOF_HTML
    local seen
    seen=$(chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/browser" --allow-file-access-from-files --virtual-time-budget=10000 \
        --dump-dom "file://$work/look.html" 2>/dev/null | grep -o 'data-seen="[^"]*"')
    expect "$seen" 'data-seen="pictures 3 broken 0 failure true"' "what the browser shows"
}

# In a Wayland session the runner says what works and what does not; the dialog says it in a
# message at start, until the user ticks that it is enough.
check_wayland() {
    printf 'WAIT 1\n' >"$work/ok.dat"
    WAYLAND_DISPLAY=wayland-0 ravelkin --run ok.dat
    expect "$status" 0 status
    [[ $out == "ravelkin: this is a Wayland session."* ]] || fail "the runner said: $out"
    shown() { [ "$(xdotool search --onlyvisible --name '^ravelkin$' | wc -l)" -eq "$1" ]; }
    local round dialog
    for round in first again; do
        (cd "$work" && XDG_CONFIG_HOME=$work/config WAYLAND_DISPLAY=wayland-0 exec "$bin/ravelkin") \
            >/dev/null 2>&1 &
        dialog=$!
        await xdotool search --onlyvisible --name '^Ravelkin$' >/dev/null || fail "no dialog"
        if [ "$round" = first ]; then
            await shown 2 || fail "no notice"
            # Tick "do not show this again" and confirm.
            xdotool key Tab space Return
            await shown 1 || fail "the notice stayed"
        else
            sleep 2
            shown 1 || fail "the notice came back"
        fi
        xdotool key Escape
        wait "$dialog"
    done
}

# What KWin does not let a check do.
declare -A kwin_cannot=(
    [spy]="KWin tells no client where the pointer is, and lets none lay a layer over the screen to follow it"
    [record-typing]="KWin lets no program see the keys typed into other programs"
    [dialog]="the check drives the dialog with xdotool and reads its window through X"
    [dialog-outcomes]="the check drives the dialog with xdotool and reads its window through X"
    [wayland]="the notice is for a Wayland session that no backend drives, and KWin is driven"
)
# What GNOME's XWayland does not let a check do.
gnome_pictures="mutter's XWayland gives no picture of the screen: its copies are black, the \
windows of X programs included"
gnome_dialog="the dialog, a GTK program, opens as a Wayland window there, which xdotool cannot \
drive"
declare -A gnome_cannot=(
    [picture]=$gnome_pictures
    [checks]=$gnome_pictures
    [capture]=$gnome_pictures
    [record]=$gnome_pictures
    [spy]=$gnome_pictures
    [dialog]=$gnome_dialog
    [dialog-outcomes]=$gnome_dialog
    [wayland]=$gnome_dialog
    [lost-server]="the check ends the X server, and XWayland belongs to mutter"
)
# What the native GNOME backend cannot do on a headless mutter, or without its Shell extension.
gnome_no_keyboard="a headless mutter gives Wayland clients no keyboard (its seat offers a \
pointer only), so no key that Ravelkin sends reaches a window"
gnome_no_windows="the windows come from the GNOME Shell extension, which a bare mutter does \
not run"
gnome_no_overlay="the drag takes a layer over the screen, which GNOME lets no program lay"
gnome_no_chord="the stop chord is grabbed by the GNOME Shell extension, which a bare mutter \
does not run"
declare -A gnome_native_cannot=([typing]=$gnome_no_keyboard)
[ -n "$gnome_shell" ] || gnome_native_cannot+=([window]=$gnome_no_windows [stop]=$gnome_no_chord)
for check in "$@"; do
    if [ -n "$gnome_native" ] && [ -n "${gnome_native_cannot[$check]:-}" ]; then
        echo "NOT SUPPORTED on a headless GNOME: $check: ${gnome_native_cannot[$check]}"
        [ $# -gt 1 ] || exit 77
        continue
    fi
    if [ -n "$kwin" ] && [ -n "${kwin_cannot[$check]:-}" ]; then
        echo "NOT SUPPORTED on KWin: $check: ${kwin_cannot[$check]}"
        [ $# -gt 1 ] || exit 77
        continue
    fi
    if [ -n "$gnome" ] && [ -n "${gnome_cannot[$check]:-}" ]; then
        echo "NOT SUPPORTED on GNOME through XWayland: $check: ${gnome_cannot[$check]}"
        [ $# -gt 1 ] || exit 77
        continue
    fi
    "check_$check"
    # The next check starts with none of this one's windows.
    stop_programs
done
[ "$failures" -eq 0 ]
