#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian package into a clean Debian root, as a user installs it, and uses it
# there: `ravelkin --version`, `man -w ravelkin`, the installed examples/demo.dat against the
# installed target window, and the dialog, on a private Xvfb display (which runs outside the
# root: X clients reach it through its abstract socket); then `ravelkin --version` and a MOV
# line on a private headless sway, also outside the root (its socket folder is mounted in):
# the root holds no Wayland package but the client libraries the package depends on. Runs
# lintian on the package. Needs root.
#   tests/package/deb.sh PACKAGE.deb
# The root (scripts/lib/debian-root.sh) is cached; the test runs on a throw-away overlay of
# it, so the cached root itself never changes.
set -euo pipefail
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
deb=$(realpath "$1")
[ "$(id -u)" -eq 0 ] || exec sudo --preserve-env=RAVELKIN_CACHE,DEBIAN_MIRROR "$0" "$deb"
version=$(dpkg-deb --field "$deb" Version)
source "$scripts/lib/debian-root.sh"
debian_root "$deb"

source "$scripts/../tests/support/checks.sh"

echo "== lintian"
if ! lintian --fail-on error --tag-display-limit 0 "$deb"; then
    fail "lintian reports errors"
fi

echo "== the dependencies"
# dpkg-shlibdeps finds the libraries of both backends.
depends=$(dpkg-deb --field "$deb" Depends)
for library in libx11-6 libxtst6 libwayland-client0 libxkbcommon0; do
    [[ ", $depends," == *", $library "* || ", $depends," == *", $library,"* ]] ||
        fail "the package does not depend on $library: $depends"
done

echo "== the copyright file"
# Machine-readable, and naming the licence of the OpenCV linked into ravelkin.
copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/ravelkin/copyright)
[[ ${copyright%%$'\n'*} == Format:\ https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/ ]] ||
    fail "the copyright file does not start with its Format: line"
[[ $copyright == *$'\nLicense: GPL-3+\n'*$'\nLicense: Apache-2.0\n'*OpenCV* ]] ||
    fail "the copyright file lacks GPL-3+ or OpenCV's Apache-2.0"

echo "== the desktop files KWin grants by"
# Each names its program by the full path the package installs it to, and what KWin grants.
listing=$(dpkg-deb -c "$deb")
for entry in ravelkin:/usr/bin/ravelkin ravelkin-dialog:/usr/libexec/ravelkin/ravelkin; do
    file=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/applications/${entry%%:*}.desktop") ||
        fail "the package has no ${entry%%:*}.desktop"
    grep -q " \.${entry#*:}\$" <<<"$listing" || fail "the package has no ${entry#*:}"
    for line in "Exec=${entry#*:}" \
        X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input,org_kde_plasma_window_management \
        X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2; do
        grep -qxF "$line" <<<"$file" || fail "${entry%%:*}.desktop lacks $line"
    done
done

echo "== the GNOME Shell extension"
# It answers the programs its file "programs" lists: the package's own, by their full paths.
extension=./usr/share/gnome-shell/extensions/ravelkin@ravelkin.org
for name in extension.js metadata.json programs; do
    grep -q " $extension/$name\$" <<<"$listing" || fail "the package has no ${extension#.}/$name"
done
programs=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO "$extension/programs") || programs=
[ "$programs" = $'/usr/bin/ravelkin\n/usr/libexec/ravelkin/ravelkin' ] ||
    fail "the extension's programs are not the package's: $programs"

echo "== the package in a clean Debian root"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/upper" "$scratch/work" "$scratch/root"
in_root() {
    chroot "$scratch/root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DISPLAY="$DISPLAY" \
        DEBIAN_FRONTEND=noninteractive "$@"
}
# In a mount namespace of its own (below), on the display with-display started: the overlay
# and the other mounts go away with the namespace.
use_package() {
    mount -t overlay overlay -o "lowerdir=$ROOTFS,upperdir=$scratch/upper,workdir=$scratch/work" \
        "$scratch/root"
    mount -t proc proc "$scratch/root/proc"
    mount --rbind /dev "$scratch/root/dev"
    cp "$deb" "$scratch/root/tmp/ravelkin.deb"
    in_root apt-get install -y -qq /tmp/ravelkin.deb >"$scratch/apt.log" 2>&1 ||
        { cat "$scratch/apt.log"; return 1; }
    echo "version: $(in_root ravelkin --version)"
    echo "manual: $(in_root man -w ravelkin)"
    in_root /usr/libexec/ravelkin/ravelkin-target --position 100,100 >"$scratch/target.out" 2>&1 &
    local target=$! id
    await grep -q '^ready' "$scratch/target.out" || echo "the target window did not come up"
    # It takes the keyboard focus once shown.
    id=$(printf '%d' "$(sed -n 's/^ready //p' "$scratch/target.out")")
    focused() { [ "$(xdotool getwindowfocus)" = "$id" ]; }
    await focused || echo "the target did not get the focus"
    in_root sh -c 'cd /usr/share/doc/ravelkin/examples && ravelkin --run demo.dat' \
        >"$scratch/demo.out" 2>&1
    echo "demo: $?"
    kill "$target"
    wait "$target"
    grep '^text ' "$scratch/target.out" | tail -1
    # Without arguments the dialog, from the program installed beside it.
    in_root ravelkin >"$scratch/dialog.out" 2>&1 &
    local dialog=$!
    dialog_shown() { xdotool search --onlyvisible --name '^Ravelkin$' >/dev/null; }
    await dialog_shown && echo "dialog: shown"
    xdotool key Escape
    wait "$dialog"
    echo "dialog: $?"
    # The Wayland backend, on the sway outside the root.
    mkdir -p "$scratch/root$XDG_RUNTIME_DIR"
    mount --bind "$XDG_RUNTIME_DIR" "$scratch/root$XDG_RUNTIME_DIR"
    on_sway() {
        chroot "$scratch/root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
            XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" WAYLAND_DISPLAY="$WAYLAND_DISPLAY" \
            SWAYSOCK="$SWAYSOCK" DISPLAY="$DISPLAY" "$@"
    }
    echo "wayland $(on_sway ravelkin --version | grep '^Backend:')"
    echo "forced $(on_sway env RAVELKIN_BACKEND=x11 ravelkin --version | grep '^Backend:')"
    printf 'MOV 100,200\n' >"$scratch/root/tmp/mov.dat"
    on_sway ravelkin --run /tmp/mov.dat >"$scratch/mov.out" 2>&1
    echo "wayland run: $?"
}
export -f use_package in_root await
export deb scratch ROOTFS
# No window manager: one that takes the keyboard for a moment when a title bar is clicked may
# swallow keys that follow at once.
results=$(RAVELKIN_TEST_DISPLAY="1024x768 none" "$scripts/lib/with-sway" \
    "$scripts/lib/with-display" unshare --mount bash -c use_package) ||
    fail "the run in the root failed"
echo "$results"
# The results hold the line.
expect() { grep -qxF -- "$1" <<<"$results" || fail "expected the line [$1]"; }
expect "version: Ravelkin $version"
expect "manual: /usr/share/man/man1/ravelkin.1.gz"
expect "demo: 0"
# What demo.dat typed into the target: BS took the "!", RET broke the line.
expect 'text hello, ravelkin 1.0\nit works.'
expect "dialog: shown"
expect "dialog: 0"
expect "wayland Backend: wayland (sway)"
expect "forced Backend: x11"
expect "wayland run: 0"
if [ "$failures" -ne 0 ]; then
    cat "$scratch/demo.out" "$scratch/mov.out" 2>/dev/null
    exit 1
fi
echo "the Debian package: installed, started, its manual found, the demo run, the dialog shown," \
    "a line run on sway"
