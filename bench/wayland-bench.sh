#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Wayland backend's benchmarks, each on a private headless 1920x1080 sway of its own:
#   bench/wayland-bench.sh [BENCHMARK-ARGS...]     e.g. --benchmark_repetitions=3
# wayland_capture_bench (CopyScreen and wayland_shot against grim), wayland_img_clk_bench
# (IMG_CLK through the Wayland backend against the X11 backend on a 1920x1080 Xvfb in the
# same run) and startup_bench (ravelkin --run of one MOV line against wtype, with peak
# memory); then, where kwin_wayland is installed, wayland_img_clk_bench again with the KWin
# backend on a private headless 1920x1080 KWin, and where mutter and the portals are, with the
# GNOME backend on a private headless 1920x1080 mutter. The arguments go to every program. BIN names
# the folder of the programs, build/bin unless set; build it first (the bench targets are part
# of the default build).
source "$(dirname "$0")/../scripts/lib/common.sh"

bin=${BIN:-$ROOT/build/bin}
for program in wayland_capture_bench wayland_img_clk_bench startup_bench; do
    [ -x "$bin/$program" ] || { echo "$bin/$program is missing: build it first" >&2; exit 1; }
done
export RAVELKIN_TEST_SWAY=1920x1080 RAVELKIN_TEST_DISPLAY="1920x1080 none"
status=0
echo "== capture: the Wayland backend against grim"
"$ROOT/scripts/lib/with-sway" "$bin/wayland_capture_bench" "$@" || status=1
echo "== IMG_CLK: the Wayland backend on sway against the X11 backend on Xvfb"
"$ROOT/scripts/lib/with-sway" "$ROOT/scripts/lib/with-display" \
    "$bin/wayland_img_clk_bench" "$@" || status=1
echo "== start-up: ravelkin --run against wtype"
"$ROOT/scripts/lib/with-sway" "$bin/startup_bench" "$@" || status=1
if command -v kwin_wayland >/dev/null; then
    echo "== IMG_CLK: the KWin backend on KWin against the X11 backend on Xvfb"
    RAVELKIN_TEST_KWIN=1920x1080 \
        RAVELKIN_TEST_KWIN_TRUST="$bin/wayland_img_clk_bench $bin/ravelkin-wayland-target" \
        "$ROOT/scripts/lib/with-kwin" "$ROOT/scripts/lib/with-display" \
        "$bin/wayland_img_clk_bench" "$@" || status=1
fi
if command -v mutter >/dev/null && [ -x /usr/libexec/xdg-desktop-portal-gnome ]; then
    echo "== IMG_CLK: the GNOME backend on mutter against the X11 backend on Xvfb"
    RAVELKIN_TEST_MUTTER=1920x1080 RAVELKIN_BENCH_FULLSCREEN=1920x1080 \
        "$ROOT/scripts/lib/with-gnome" "$ROOT/scripts/lib/with-display" \
        "$bin/wayland_img_clk_bench" "$@" || status=1
fi
exit "$status"
