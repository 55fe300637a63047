#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The demo under valgrind's memory checker, leak check included:
#   bench/valgrind-demo.sh
# Starts a private Xvfb with openbox and the target window, and runs examples/demo.dat with
# `ravelkin --run` under valgrind. Fails on any memory error and on any definite, indirect or
# possible leak that bench/valgrind.supp does not name; the full report is in
# build/valgrind/valgrind.log.
source "$(dirname "$0")/../scripts/lib/common.sh"
source "$ROOT/scripts/lib/desktop.sh"

install_missing_packages
install_packages valgrind
# OpenCV, static, from the cache once built.
deps=$("$ROOT/scripts/build-native-deps")
configure_and_build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_PREFIX_PATH="$deps" >/dev/null
out="$ROOT/build/valgrind"
mkdir -p "$out"

start_private_display 1280x800
start_target 200,150 "$out/target.txt"

echo "Running examples/demo.dat under valgrind (a minute or two):"
set +e
(cd "$ROOT/examples" &&
    valgrind --leak-check=full --show-leak-kinds=definite,indirect,possible \
        --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=99 \
        --num-callers=40 --suppressions="$ROOT/bench/valgrind.supp" \
        --log-file="$out/valgrind.log" "$ROOT/build/bin/ravelkin" --run demo.dat >"$out/run.txt")
status=$?
set -e
grep -E 'definitely|indirectly|possibly|still reachable|suppressed:|ERROR SUMMARY' "$out/valgrind.log" \
    | sed 's/^==[0-9]*== *//'
case "$status" in
    0) echo "PASS: no memory error, no leak" ;;
    99) echo "FAIL: valgrind found errors or leaks; see $out/valgrind.log"; exit 1 ;;
    *) echo "FAIL: the demo run ended with status $status"; cat "$out/run.txt"; exit 1 ;;
esac
