#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What recording costs while the user works (not part of the test run):
#   bench/record-cost.sh [WIDTHxHEIGHT [SECONDS]]   default 1920x1080, a click every 2 s
# On a private Xvfb with openbox and xcalc, `ravelkin --record` watches three phases of 10 s
# each: the user doing nothing; one xdotool moving the pointer 200 times a second; the same
# with a click on a button of the calculator every SECONDS (12+34=). For each phase it prints the recorder's
# processor time (user and system, from /proc) as a share of one core.
source "$(dirname "$0")/../scripts/lib/common.sh"
source "$ROOT/scripts/lib/desktop.sh"

size=${1:-1920x1080}
every=${2:-2}
install_missing_packages
deps=$("$ROOT/scripts/build-native-deps")
configure_and_build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_PREFIX_PATH="$deps" >/dev/null
start_private_display "$size"
xdotool mousemove 400 400
work=$(mktemp -d)
trap 'stop_desktop; rm -rf "$work"' EXIT

xcalc -geometry +100+100 >/dev/null 2>&1 &
sleep 2
(cd "$work" && exec "$ROOT/build/bin/ravelkin" --record cost.dat) >"$work/record.out" 2>&1 &
recorder=$!
sleep 2
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$recorder/stat"; }
# A circle of 200 relative steps, one every 5 ms, as a mouse moves: XTest's relative motion
# makes the raw events a device does, where a warp of the pointer (xdotool mousemove) makes none.
moves=()
for i in $(seq 0 199); do
    step=$(awk -v i="$i" 'BEGIN { a = i * 6.2832 / 200; printf "%d %d", -6 * sin(a), 6 * cos(a) }')
    moves+=(mousemove_relative -- ${step} sleep 0.005)
done
phase() {
    local before after start end
    before=$(cpu)
    start=$(date +%s.%N)
    "$@"
    end=$(date +%s.%N)
    after=$(cpu)
    awk -v c=$((after - before)) -v t="$ticks" -v s="$start" -v e="$end" -v name="$phase_name" \
        'BEGIN { printf "%-28s %5.1f %% of one core (%.2f s of processor time in %.1f s)\n", name, 100 * c / t / (e - s), c / t, e - s }'
}
phase_name="still" phase sleep 10
phase_name="moving at 200 Hz" phase bash -c 'for _ in $(seq 10); do xdotool "$@"; done' moving "${moves[@]}"
# 12+34= on the calculator, a click every $every s, the pointer moving in between.
clicking() {
    local key _
    for key in 70,381 113,381 201,381 157,381 70,351 201,411; do
        xdotool mousemove $((100 + ${key%,*})) $((100 + ${key#*,})) click 1
        for _ in $(seq "$every"); do xdotool "${moves[@]}"; done
    done
}
phase_name="moving, a click every ${every} s" phase clicking
xdotool keydown Control_R keyup Control_R
wait "$recorder"
cat "$work/record.out"
