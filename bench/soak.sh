#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Soak test of one long-lived ravelkin process (not part of the test run):
#   bench/soak.sh [PASSES]      default 10000; WARMUP=200 passes come first
# Starts a private Xvfb with openbox and the target window, and runs bench/soak.dat with
# `ravelkin --run --repeat`: each pass a fresh engine in the same process, as a scheduled job
# that runs for hours. After the warm-up and after PASSES more passes it samples the
# process's resident memory (VmRSS), its open file descriptors and the X resources its
# connection holds on the server; then it stops the run with SIGINT. Fails when the memory
# grew by more than 1 MiB, when descriptors or X resources grew, or when a pass failed.
source "$(dirname "$0")/../scripts/lib/common.sh"
source "$ROOT/scripts/lib/desktop.sh"

passes=${1:-10000}
warmup=${WARMUP:-200}
install_missing_packages
# OpenCV, static, from the cache once built.
deps=$("$ROOT/scripts/build-native-deps")
configure_and_build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_PREFIX_PATH="$deps" >/dev/null
[ -x "$ROOT/build/bin/x_resources" ] || { echo "build/bin/x_resources is missing (libxres-dev)" >&2; exit 1; }

work="$ROOT/build/soak"
rm -rf "$work"
mkdir -p "$work"
cp -r "$ROOT/examples/Images" "$ROOT/bench/soak.dat" "$work/"

start_private_display 640x480
start_target 100,100 "$work/target.txt"

sample() {
    local rss fds xres
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$1/status")
    fds=$(find "/proc/$1/fd" -mindepth 1 | wc -l)
    xres=$("$ROOT/build/bin/x_resources" "$1")
    echo "$rss $fds ${xres#resources }"
}

fifo="$work/log.fifo"
mkfifo "$fifo"
(cd "$work" && exec "$ROOT/build/bin/ravelkin" --run --repeat soak.dat >"$fifo" 2>"$work/stderr.txt") &
pid=$!
DESKTOP_PIDS+=("$pid")

echo "ravelkin (pid $pid) runs soak.dat: $warmup passes of warm-up, then $passes."
done_passes=0
start=""
end=""
failed=""
started_at=$SECONDS
while IFS= read -r line; do
    case "$line" in
        *エラーが発生しました*) failed="$line" ;;
        -----soak.dat実行完了-----)
            done_passes=$((done_passes + 1))
            if [ "$done_passes" -eq "$warmup" ]; then
                start=$(sample "$pid")
                started_at=$SECONDS
            elif [ "$done_passes" -eq $((warmup + passes)) ]; then
                end=$(sample "$pid")
                kill -INT "$pid"
            elif [ $((done_passes % 1000)) -eq 0 ]; then
                echo "  $done_passes passes"
            fi
            ;;
    esac
done <"$fifo"
set +e
wait "$pid"
status=$?
set -e

if [ -n "$failed" ] || [ -z "$end" ]; then
    echo "FAIL: the run ended after $done_passes passes (status $status): ${failed:-no error line}" >&2
    cat "$work/stderr.txt" >&2
    exit 1
fi
read -r rss0 fds0 xres0 xrest0 <<<"$start"
read -r rss1 fds1 xres1 xrest1 <<<"$end"
echo
echo "$passes passes in $((SECONDS - started_at)) s after $warmup of warm-up; exit status $status"
echo "VmRSS        start ${rss0} kB   end ${rss1} kB   growth $((rss1 - rss0)) kB"
echo "descriptors  start ${fds0}      end ${fds1}"
echo "X resources  start ${xres0} ${xrest0}"
echo "             end   ${xres1} ${xrest1}"

verdict=0
[ $((rss1 - rss0)) -le 1024 ] || { echo "FAIL: resident memory grew by more than 1 MiB"; verdict=1; }
[ "$fds1" -le "$fds0" ] || { echo "FAIL: open file descriptors grew"; verdict=1; }
[ "$xres1" -le "$xres0" ] || { echo "FAIL: X resources grew"; verdict=1; }
[ "$status" -eq 1 ] || { echo "FAIL: expected the cancelled status 1 after SIGINT"; verdict=1; }
[ "$verdict" -eq 0 ] && echo "PASS"
exit "$verdict"
