# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the scripts in scripts/.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}

# Installs whatever Debian package of scripts/lib/packages.txt is missing; quiet when all are there.
install_missing_packages() {
    install_package_list "$ROOT/scripts/lib/packages.txt"
}

# install_package_list FILE: installs the missing Debian packages of a list, one a line.
install_package_list() {
    # shellcheck disable=SC2046
    install_packages $(grep -v -E '^\s*(#|$)' "$1")
}

# as_root COMMAND...: runs a command as root, through sudo unless we are root already.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# install_packages PACKAGE...: installs those of the Debian packages that are missing.
install_packages() {
    local pkg missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# configure_and_build BUILD_DIR [cmake args...]
configure_and_build() {
    local dir=$1
    shift
    cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
}
