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
}
