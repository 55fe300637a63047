# SPDX-License-Identifier: GPL-3.0-or-later
# A clean Debian root with the dependencies of a package, for tests/package/deb.sh. As root.
#   debian_root PACKAGE.deb    sets ROOTFS to the root, and holds a shared lock on it
#
# The root is Debian of this machine's release (debootstrap, minbase) with man-db and the
# package's dependencies installed from Debian's mirror ($DEBIAN_MIRROR). It is kept in
#   ${RAVELKIN_CACHE:-~/.cache/ravelkin}/debian-root/<key>
# where the key covers the release, the mirror, the package's Depends line and this file; a
# root with another key is removed when a new one is made. Use it read-only (an overlay).

debian_root() {
    local deb=$1 cache mirror release key start
    cache=${RAVELKIN_CACHE:-$HOME/.cache/ravelkin}/debian-root
    mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
    release=$(. /etc/os-release && echo "$VERSION_CODENAME")
    key=$(printf '%s\n' "$release" "$mirror" "$(dpkg-deb --field "$deb" Depends)" |
        cat - "${BASH_SOURCE[0]}" | sha256sum | cut -c1-16)
    ROOTFS=$cache/$key
    mkdir -p "$cache"
    exec 9>"$cache/lock"
    flock 9
    if [ ! -f "$ROOTFS/.complete" ]; then
        echo "== making the Debian root $ROOTFS ($release, with the package's dependencies)"
        start=$SECONDS
        find "$cache" -mindepth 1 -maxdepth 1 -type d -exec rm -rf {} +
        debootstrap --variant=minbase --include=man-db "$release" "$ROOTFS" "$mirror" \
            >"$cache/log" 2>&1 || { tail -20 "$cache/log"; return 1; }
        printf 'deb %s %s main\n' "$mirror" "$release" "$mirror" "$release-updates" \
            >"$ROOTFS/etc/apt/sources.list"
        printf 'deb http://deb.debian.org/debian-security %s-security main\n' "$release" \
            >>"$ROOTFS/etc/apt/sources.list"
        cp /etc/resolv.conf "$ROOTFS/etc/resolv.conf"
        cp "$deb" "$ROOTFS/tmp/package.deb"
        # What apt installs for the package, without the package itself: its dependencies.
        chroot "$ROOTFS" sh -c 'export DEBIAN_FRONTEND=noninteractive
            apt-get update -qq && apt-get install -y -qq --no-install-recommends /tmp/package.deb &&
            dpkg --remove "$(dpkg-deb --field /tmp/package.deb Package)" && apt-get clean &&
            rm /tmp/package.deb' >>"$cache/log" 2>&1 || { tail -20 "$cache/log"; return 1; }
        touch "$ROOTFS/.complete"
        echo "   made in $((SECONDS - start)) s"
    fi
    # Shared from here on: other runs may use the root at the same time.
    flock -s 9
}
