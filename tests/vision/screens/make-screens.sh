#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Remakes the real-screen captures in this folder: for each screen it starts its own Xvfb and openbox,
# opens real programs (xterm, xclock, xcalc, zenity dialogs, Chromium on a local page), waits until they
# have drawn, grabs the whole root window as an 8-bit RGB PNG and ends everything it started.
#
# Needs: Xvfb, openbox, xterm, chromium, xdotool, ImageMagick (import, display, identify), and the packages
# x11-apps (xcalc, xclock) and zenity. optipng is used when present. Only for remaking the pictures, not for CI.
#
# Usage: make-screens.sh [OUTPUT-DIR]     (default: the folder this script is in)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$(mkdir -p "${1:-$here}" && cd "${1:-$here}" && pwd)

for tool in Xvfb openbox xterm chromium xcalc xclock zenity xdotool import display identify setsid timeout od; do
  command -v "$tool" >/dev/null || { echo "make-screens: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/ravelkin-screens.XXXXXX")
groups=()      # process groups this script started for the current screen (each program is its own group leader)
xvfb_pid=""
display_num=""

# Stops every program of the current screen, then its X server, and clears what the server left behind.
stop_screen() {
  local pid i
  for pid in "${groups[@]}"; do
    kill -TERM -- "-$pid" 2>/dev/null || true
  done
  for ((i = 0; i < 50; i++)); do
    local alive=0
    for pid in "${groups[@]}"; do
      if kill -0 -- "-$pid" 2>/dev/null; then alive=1; fi
    done
    ((alive)) || break
    sleep 0.1
  done
  for pid in "${groups[@]}"; do
    kill -KILL -- "-$pid" 2>/dev/null || true
  done
  groups=()
  if [[ -n $xvfb_pid ]]; then
    kill -TERM "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    # A server that did not get to clean up leaves its lock and socket; both are ours alone.
    rm -f "/tmp/.X${display_num}-lock" "/tmp/.X11-unix/X${display_num}"
    xvfb_pid=""
  fi
  wait 2>/dev/null || true
}

cleanup() {
  stop_screen
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# Every program gets a home, config, cache and runtime folder of its own, and no session bus, so nothing
# of the user's is read or written and no bus daemon is started behind our back.
mkdir -p "$work/home" "$work/config" "$work/cache" "$work/data" "$work/run" "$work/tmp"
chmod 700 "$work/run"
# Chromium leaves its singleton socket folder in TMPDIR when it is ended; this keeps it inside $work.
export TMPDIR="$work/tmp"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/run" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" NO_AT_BRIDGE=1
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset SESSION_MANAGER WAYLAND_DISPLAY GDK_SCALE GDK_DPI_SCALE

log="$work/programs.log"

# Starts a program as the leader of a process group of its own, so that it and its children can be ended together.
spawn() {
  setsid "$@" </dev/null >>"$log" 2>&1 &
  groups+=("$!")
}

# Starts Xvfb of the given size on the first free display number and openbox on it, with a plain gradient behind.
start_screen() {
  local width=$1 height=$2 n
  for ((n = 40; n < 200; n++)); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break
  done
  ((n < 200)) || { echo "make-screens: no free display number" >&2; exit 1; }
  display_num=$n
  Xvfb ":$n" -screen 0 "${width}x${height}x24" -nolisten tcp </dev/null >>"$log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  local i
  for ((i = 0; i < 100; i++)); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "make-screens: Xvfb :$n did not start" >&2; cat "$log" >&2; exit 1; }
    sleep 0.1
  done
  [[ $(xdotool getdisplaygeometry) == "$width $height" ]] || { echo "make-screens: Xvfb :$n has the wrong size" >&2; exit 1; }
  spawn openbox --config-file /etc/xdg/openbox/rc.xml
  # openbox names its check window on the root once it manages the screen.
  for ((i = 0; i < 100; i++)); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
    { echo "make-screens: openbox did not start on $DISPLAY" >&2; cat "$log" >&2; exit 1; }
  # The background goes on after openbox, which clears the root when it starts. display sets it and
  # leaves; it reports 1 even when it has done so.
  sleep 0.5
  timeout 20 display -size "${width}x${height}" -window root gradient:'#3b6e8f-#1b2f45' >>"$log" 2>&1 || true
}

# Waits until a visible window whose title matches the pattern is mapped; prints its id.
await_window() {
  local pattern=$1 id
  id=$(timeout 60 xdotool search --sync --onlyvisible --name "$pattern" 2>/dev/null | head -1) || true
  [[ -n $id ]] || { echo "make-screens: no window \"$pattern\" on $DISPLAY" >&2; cat "$log" >&2; exit 1; }
  echo "$id"
}

# Waits for the window and moves it (frame's top-left corner) to x, y.
place() {
  local id
  id=$(await_window "$1")
  xdotool windowmove --sync "$id" "$2" "$3" >/dev/null 2>&1 || xdotool windowmove "$id" "$2" "$3"
}

# term TITLE XTERM-OPTION... -- COMMAND...: an xterm that shows each command after a prompt, as if typed,
# then its output, and ends on a bare prompt.
term() {
  local title=$1 options=()
  shift
  while [[ $1 != -- ]]; do options+=("$1"); shift; done
  shift
  # shellcheck disable=SC2016  # expanded by the shell inside the xterm
  spawn xterm -T "$title" "${options[@]}" -e sh -c \
    'for c; do printf "macros@ravelkin:~\$ %s\n" "$c"; eval "$c"; done; printf "macros@ravelkin:~\$ "; exec sleep 3600' \
    sh "$@"
  await_window "^$title\$" >/dev/null
}

# chromium_at X Y WIDTH HEIGHT SCALE: the size is in the browser's own pixels, so SCALE times as many on the screen.
chromium_at() {
  local x=$1 y=$2 w=$3 h=$4 scale=$5 profile
  profile=$(mktemp -d "$work/chromium.XXXXXX")
  spawn chromium --user-data-dir="$profile" --disk-cache-dir="$profile/cache" \
    --no-first-run --no-sandbox --disable-gpu --no-default-browser-check --test-type \
    --password-store=basic --disable-background-networking --disable-component-update --disable-sync \
    --disable-default-apps --disable-features=Translate,MediaRouter,OptimizationHints --noerrdialogs \
    --force-device-scale-factor="$scale" --window-position="$x,$y" --window-size="$w,$h" \
    "file://$work/page.html"
  # The title carries the page's own title once the page is loaded.
  await_window 'Harbourlight Ferries' >/dev/null
  sleep 3
}

# Grabs the root window, checks it is 8-bit RGB with real content, and shrinks it losslessly.
capture() {
  local name=$1 width=$2 height=$3 file="$out/$1" raw="$work/$1"
  sleep 1.5
  import -silent -window root -strip "PNG24:$raw"
  if command -v optipng >/dev/null; then
    # -nc -nb keep the colour type and depth: the file stays 8-bit RGB even where a palette would do.
    optipng -quiet -o2 -nc -nb -strip all "$raw"
  fi
  local header colours size
  header=$(od -A n -t u1 -j 24 -N 2 "$raw" | tr -s ' ')
  [[ $header == " 8 2" ]] || { echo "make-screens: $name is not 8-bit RGB (depth, colour type:$header)" >&2; exit 1; }
  size=$(identify -format '%wx%h' "$raw")
  [[ $size == "${width}x${height}" ]] || { echo "make-screens: $name is $size" >&2; exit 1; }
  colours=$(identify -format '%k' "$raw")
  ((colours > 500)) || { echo "make-screens: $name has only $colours colours; programs did not draw" >&2; exit 1; }
  mv "$raw" "$file"
  echo "make-screens: $name ${width}x${height}, $colours colours, $(stat -c %s "$file") bytes"
}

write_page() {
  cat >"$work/page.html" <<'HTML'
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Harbourlight Ferries – Timetable and bookings</title>
<style>
  body { margin: 0; font-family: "DejaVu Sans", sans-serif; color: #222; background: #f4f5f7; }
  nav { background: #1f5f8b; color: #fff; display: flex; align-items: center; padding: 0 24px; height: 56px; }
  nav .brand { font-weight: bold; font-size: 20px; margin-right: 32px; }
  nav a { color: #dbeefc; text-decoration: none; margin-right: 22px; font-size: 15px; }
  nav a.current { color: #fff; border-bottom: 3px solid #f2b134; padding-bottom: 4px; }
  nav .account { margin-left: auto; background: #f2b134; color: #1b2f45; padding: 6px 14px; border-radius: 4px; }
  main { max-width: 1100px; margin: 0 auto; padding: 16px 24px 40px; }
  .notice { background: #fff4d6; border-left: 5px solid #f2b134; padding: 10px 14px; margin: 16px 0; }
  h1 { font-size: 30px; margin: 20px 0 8px; }
  h2 { font-size: 21px; margin: 26px 0 10px; color: #1f5f8b; }
  p { line-height: 1.5; max-width: 860px; }
  table { border-collapse: collapse; width: 100%; background: #fff; }
  th { background: #e3ecf3; text-align: left; }
  th, td { border: 1px solid #c9d3dc; padding: 7px 10px; font-size: 14px; }
  tr:nth-child(even) td { background: #f8fafb; }
  td.late { color: #b3261e; font-weight: bold; }
  td.ok { color: #2e7d32; }
  form { background: #fff; border: 1px solid #c9d3dc; padding: 16px 18px; display: grid;
         grid-template-columns: 160px 260px 160px 260px; gap: 12px 16px; align-items: center; }
  label { font-size: 14px; }
  input, select { font-size: 14px; padding: 5px 6px; border: 1px solid #9aa7b3; border-radius: 3px; }
  .buttons { grid-column: 1 / 5; display: flex; gap: 12px; }
  button { font-size: 14px; padding: 8px 18px; border-radius: 4px; border: 1px solid #1f5f8b; cursor: pointer; }
  button.primary { background: #1f5f8b; color: #fff; }
  button.secondary { background: #fff; color: #1f5f8b; }
  button.danger { background: #fff; color: #b3261e; border-color: #b3261e; }
  footer { background: #263238; color: #b0bec5; padding: 14px 24px; font-size: 13px; }
</style>
</head>
<body>
<nav>
  <span class="brand">Harbourlight Ferries</span>
  <a class="current" href="#">Timetable</a><a href="#">Fares</a><a href="#">Routes</a><a href="#">Freight</a>
  <a href="#">Help</a><span class="account">My bookings</span>
</nav>
<main>
  <div class="notice">Works on the north pier: from 3 March the 07:40 sailing leaves from berth 4.</div>
  <h1>Timetable and bookings</h1>
  <p>Sailings run every day of the year except 25 December. Foot passengers should be at the terminal
  fifteen minutes before departure; vehicles must check in no later than thirty minutes before. Times
  below are local and may change in strong winds; the status column is updated every five minutes.</p>
  <h2>Today's departures</h2>
  <table>
    <tr><th>Sailing</th><th>From</th><th>To</th><th>Departs</th><th>Arrives</th><th>Vessel</th><th>Status</th></tr>
    <tr><td>HF 101</td><td>Port Ellen</td><td>Kennacraig</td><td>07:40</td><td>09:55</td><td>Isle of Arran</td><td class="ok">On time</td></tr>
    <tr><td>HF 103</td><td>Kennacraig</td><td>Port Askaig</td><td>09:45</td><td>11:50</td><td>Finlaggan</td><td class="ok">On time</td></tr>
    <tr><td>HF 107</td><td>Port Askaig</td><td>Colonsay</td><td>12:15</td><td>13:25</td><td>Finlaggan</td><td class="late">Delayed 20 min</td></tr>
    <tr><td>HF 110</td><td>Colonsay</td><td>Oban</td><td>14:05</td><td>16:20</td><td>Lord of the Isles</td><td class="ok">On time</td></tr>
    <tr><td>HF 114</td><td>Oban</td><td>Craignure</td><td>16:00</td><td>16:46</td><td>Isle of Mull</td><td class="ok">On time</td></tr>
    <tr><td>HF 118</td><td>Craignure</td><td>Oban</td><td>17:55</td><td>18:41</td><td>Isle of Mull</td><td class="late">Cancelled</td></tr>
  </table>
  <h2>Book a crossing</h2>
  <form onsubmit="return false">
    <label for="from">From</label><select id="from"><option>Port Ellen</option><option>Kennacraig</option></select>
    <label for="to">To</label><select id="to"><option>Kennacraig</option><option>Port Askaig</option></select>
    <label for="date">Date</label><input id="date" type="text" value="14/03/2025">
    <label for="time">Sailing</label><select id="time"><option>07:40 – HF 101</option><option>09:45 – HF 103</option></select>
    <label for="adults">Adults</label><input id="adults" type="number" value="2" min="0" max="9">
    <label for="vehicle">Vehicle registration</label><input id="vehicle" type="text" placeholder="e.g. SK21 ABC">
    <label for="return">Return journey</label><span><input id="return" type="checkbox" checked> same day</span>
    <label for="email">E-mail</label><input id="email" type="email" value="traveller@example.org">
    <div class="buttons">
      <button class="primary" type="submit">Search sailings</button>
      <button class="secondary" type="button">Save for later</button>
      <button class="danger" type="reset">Clear</button>
    </div>
  </form>
  <h2>Travelling with pets</h2>
  <p>Dogs are welcome in the pet lounge on every vessel and on outside decks on a lead. Assistance dogs
  may travel in all passenger areas. Please tell us about any animal when you book.</p>
</main>
<footer>Harbourlight Ferries Ltd · Pier Road · Timetable valid from 1 March to 31 October</footer>
</body>
</html>
HTML
}

listing='ls -l /usr/bin | head -40'
hexdump='od -A x -t x1z /bin/ls | head -30'
licence='head -45 /usr/share/common-licenses/GPL-3'

screen_hd_terminals() {
  start_screen 1920 1080
  term "files" -fa monospace -fs 10 -geometry 96x48+30+30 -- "$listing"
  term "os-release" -fa monospace -fs 12 -bg '#1e1e1e' -fg '#d8d8d8' -geometry 70x22+640+120 -- \
    'cat /etc/os-release' 'uname -sm' 'seq -w 1 12 | paste -sd " "'
  term "hexdump" -fa monospace -fs 11 -bg black -fg '#33ff66' -geometry 78x32+800+380 -- "$hexdump"
  term "licence" -fa 'Nimbus Mono PS' -fs 10 -bg '#fdf6e3' -fg '#586e75' -geometry 74x30+1240+40 -- "$licence"
  spawn xclock -geometry 180x180+1700+820 -update 1
  await_window '^xclock$' >/dev/null
  capture hd-terminals.png 1920 1080
  stop_screen
}

screen_hd_dialogs() {
  start_screen 1920 1080
  spawn xcalc -geometry 260x360+40+40
  await_window '^Calculator$' >/dev/null
  term "etc" -fa monospace -fs 10 -geometry 84x30+1080+520 -- 'ls -la /etc | head -27'
  spawn zenity --info --title "Export finished" --width 380 \
    --text "The macro \"Fill timesheet\" was exported to\n/home/macros/timesheet.rvk (14 steps)."
  place '^Export finished$' 380 60
  spawn zenity --question --title "Overwrite file?" --width 400 \
    --text "A macro named \"Daily backup\" already exists.\nDo you want to replace it?"
  place '^Overwrite file\?$' 380 300
  spawn zenity --entry --title "Rename macro" --width 340 --text "New name for the macro:" --entry-text "click-save-button"
  place '^Rename macro$' 40 520
  spawn zenity --list --title "Choose a macro" --width 520 --height 330 \
    --column Name --column Hotkey --column "Last run" \
    "Fill timesheet" "Ctrl+Alt+T" "today 09:12" \
    "Daily backup" "Ctrl+Alt+B" "yesterday" \
    "Close pop-ups" "F9" "3 days ago" \
    "Rename photos" "Ctrl+Alt+R" "last week" \
    "Send status mail" "Ctrl+Alt+M" "never"
  place '^Choose a macro$' 900 60
  capture hd-dialogs.png 1920 1080
  stop_screen
}

screen_hd_browser() {
  start_screen 1920 1080
  chromium_at 0 0 1640 1040 1
  term "docs" -fa monospace -fs 10 -bg '#202a33' -fg '#e0e6ea' -geometry 72x22+1330+640 -- \
    'ls -l /usr/share/doc | head -20'
  capture hd-browser.png 1920 1080
  stop_screen
}

screen_4k_desktop() {
  start_screen 3840 2160
  term "files" -fa monospace -fs 14 -geometry 100x48+40+40 -- "$listing"
  term "hexdump" -fa monospace -fs 16 -bg black -fg '#33ff66' -geometry 78x32+900+1150 -- "$hexdump"
  term "licence" -fa 'Nimbus Mono PS' -fs 13 -bg '#fdf6e3' -fg '#586e75' -geometry 74x48+3000+60 -- "$licence"
  term "os-release" -fa monospace -fs 18 -bg '#1e1e1e' -fg '#d8d8d8' -geometry 60x16+2300+1700 -- \
    'cat /etc/os-release'
  spawn xcalc -geometry 320x440+1050+60
  await_window '^Calculator$' >/dev/null
  chromium_at 1450 60 1500 1000 1
  spawn zenity --info --title "Export finished" --width 380 \
    --text "The macro \"Fill timesheet\" was exported to\n/home/macros/timesheet.rvk (14 steps)."
  place '^Export finished$' 2550 1200
  spawn zenity --entry --title "Rename macro" --width 340 --text "New name for the macro:" --entry-text "click-save-button"
  place '^Rename macro$' 3100 1420
  spawn zenity --calendar --title "Run the macro on" --text "Pick the day to run \"Daily backup\":" \
    --day 14 --month 3 --year 2025
  place '^Run the macro on$' 3250 760
  spawn xclock -geometry 220x220+3560+1880 -update 1
  await_window '^xclock$' >/dev/null
  capture 4k-desktop.png 3840 2160
  stop_screen
}

screen_4k_browser() {
  start_screen 3840 2160
  # A HiDPI screen as people run one: the browser and GTK at twice the scale.
  chromium_at 0 0 1540 1040 2
  spawn env GDK_SCALE=2 zenity --list --title "Choose a macro" --width 520 --height 330 \
    --column Name --column Hotkey --column "Last run" \
    "Fill timesheet" "Ctrl+Alt+T" "today 09:12" \
    "Daily backup" "Ctrl+Alt+B" "yesterday" \
    "Close pop-ups" "F9" "3 days ago" \
    "Rename photos" "Ctrl+Alt+R" "last week"
  place '^Choose a macro$' 2700 1300
  capture 4k-browser.png 3840 2160
  stop_screen
}

write_page
screen_hd_terminals
screen_hd_dialogs
screen_hd_browser
screen_4k_desktop
screen_4k_browser
