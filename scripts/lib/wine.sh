# SPDX-License-Identifier: GPL-3.0-or-later
# Wine for the Windows build's tests and screenshots: a 64-bit prefix of our own in the cache,
# quiet, without Mono or Gecko, in a Japanese locale so that the dialog's texts show.
# Source common.sh first.

export WINEPREFIX=${RAVELKIN_WINEPREFIX:-${RAVELKIN_CACHE:-$HOME/.cache/ravelkin}/wine-prefix}
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Makes the Japanese locale available (Debian's locales package) and uses it for Wine.
use_japanese_locale() {
    if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf-\?8$'; then
        install_packages locales
        as_root sed -i 's/^# *ja_JP.UTF-8/ja_JP.UTF-8/' /etc/locale.gen
        as_root locale-gen ja_JP.UTF-8 >/dev/null
    fi
    export LANG=ja_JP.UTF-8
}

# Creates the prefix on first use; later uses find it ready. One user at a time: a Wine
# session belongs to the display it started on, so a second run waits for the first.
prepare_wine_prefix() {
    use_japanese_locale
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 8>"$WINEPREFIX.lock"
    flock 8
    # A session left over from an earlier run would keep its own display.
    wineserver --kill 2>/dev/null || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "== preparing the Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot --init >/dev/null 2>&1
        wineserver --wait
    fi
    grep -q '^"DpiScalingVer"=dword:00001000' "$WINEPREFIX/user.reg" || set_wine_dpi 96
}

# set_wine_dpi DOTS: scales the prefix's display to DOTS per inch (96 is 100 %, 144 150 %),
# with Windows' treatment of programs that are not DPI-aware. Without DpiScalingVer, as
# Windows 8.1 and later set it, Wine lets every program see the display's own pixels and DPI
# whatever its manifest says, and a test of the manifest would prove nothing.
set_wine_dpi() {
    local key='HKCU\Control Panel\Desktop'
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    wine reg add "$key" /v DpiScalingVer /t REG_DWORD /d 0x1000 /f >/dev/null 2>&1
}
