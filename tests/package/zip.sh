#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Unpacks the Windows zip file into a fresh Wine prefix whose display is scaled to 150 %
# (LogPixels 144), as a user unpacks it on Windows, and uses it there: the files a user
# finds, the resources Explorer shows (icon, version) and the manifest, the DPI awareness the
# running ravelkin.exe reports, and `ravelkin.exe --run` on the examples against the target
# window shipped with them, on a private virtual display.
#   tests/package/zip.sh ravelkin-VERSION-win64.zip
source "$(dirname "$0")/../../scripts/lib/common.sh"
zip=$(realpath "$1")
name=$(basename "$zip" .zip)
version=${name#ravelkin-}
version=${version%-win64}
scratch=$(mktemp -d)
export RAVELKIN_WINEPREFIX=$scratch/prefix
source "$ROOT/scripts/lib/wine.sh"
source "$ROOT/scripts/lib/desktop.sh"
cleanup() {
    wineserver --kill 2>/dev/null || true
    stop_desktop
    rm -rf "$scratch"
}
trap cleanup EXIT

source "$ROOT/tests/support/checks.sh"

start_private_display 640x480 bare
prepare_wine_prefix
set_wine_dpi 144
(cd "$WINEPREFIX/drive_c" && cmake -E tar xf "$zip")
dir=$WINEPREFIX/drive_c/$name
# From here on each check reports what went wrong and the script goes on.
set +e +o pipefail

echo "== the files"
for file in ravelkin.exe README.txt LICENSE.txt examples/ravelkin-target.exe examples/demo.dat \
    examples/Images/1.bmp; do
    [ -f "$dir/$file" ] || fail "$file is missing"
done
# The licence texts of everything linked into ravelkin.exe, and Ravelkin's own.
for piece in opencv libpng zlib wxwidgets fftw mingw-w64 winpthreads gcc-runtime; do
    [ -s "$dir/licenses/$piece.txt" ] || fail "licenses/$piece.txt is missing"
done
grep -q 'GNU GENERAL PUBLIC LICENSE' "$dir/LICENSE.txt" && grep -q 'Version 3,' "$dir/LICENSE.txt" ||
    fail "LICENSE.txt is not the GNU GPL version 3"
# Notepad shows UTF-8 as such when it starts with a byte-order mark.
expect "$(head -c 3 "$dir/README.txt" | od -An -tx1 | tr -d ' ')" efbbbf "README.txt's first bytes"
grep -q $'\r$' "$dir/README.txt" || fail "README.txt has no CRLF line ends"

echo "== the resources of ravelkin.exe"
exe=$dir/ravelkin.exe
strings=$(wrestool -x --raw --type=16 "$exe" | tr -d '\0')
for field in FileVersion ProductVersion; do
    [[ $strings == *"$field$version"* ]] || fail "the version block has no $field $version"
done
sizes=$(wrestool -x --type=14 --name=128 "$exe" >"$scratch/icon.ico" &&
    icotool -l "$scratch/icon.ico" | sed -E 's/.*--width=([0-9]+).*/\1/' | sort -n | xargs)
expect "$sizes" "32 48 64 128" "the sizes of icon 128"
manifest=$(wrestool -x --raw --type=24 --name=1 "$exe")
for declared in '>PerMonitorV2, PerMonitor<' '>true/pm<' 'level="asInvoker"' \
    'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'; do
    [[ $manifest == *"$declared"* ]] || fail "the manifest does not declare $declared"
done

echo "== ravelkin.exe --version on a display at 144 dpi"
out=$(cd "$dir/examples" && wine ../ravelkin.exe --version 2>&1 | tr -d '\r')
echo "$out"
expect "${out%%$'\n'*}" "Ravelkin $version" "the version line"
# Wine 8 knows no per-monitor v2, Windows 10 does.
[[ $(grep '^DPI' <<<"$out") =~ ^DPI\ awareness:\ per-monitor(\ v2)?,\ 144\ dpi$ ]] ||
    fail "ravelkin.exe does not see the display's own DPI"

echo "== the examples with ravelkin.exe --run"
(cd "$dir/examples" && exec wine ravelkin-target.exe --position 100,100) >"$scratch/target.out" 2>&1 &
await grep -q '^ready' "$scratch/target.out" || fail "the target window did not come up"
out=$(cd "$dir/examples" && wine ../ravelkin.exe --run checks.dat demo.dat find-and-click.dat \
    type-text.dat 2>&1)
status=$?
echo "${out//$'\r'/}" | grep -- '-----' || true
expect "$status" 0 "the status of the examples"
# type-text.dat's lines arrived (its lines end in CR LF under Wine). Not those of demo.dat:
# under Wine its keys right after WIND_CLK's click on the title bar are lost, at any DPI.
typed() { tr -d '\r' <"$scratch/target.out" | grep -q '^text .*good morning\\n2026-12-06$'; }
await typed || fail "typed: $(grep '^text' "$scratch/target.out" | tail -1)"
grep -q '^click' "$scratch/target.out" || fail "the logo was never clicked"

[ "$failures" -eq 0 ] || exit 1
echo "the Windows zip file: unpacked, its licences and resources present, DPI-aware at 144 dpi, the examples run"
