#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Ravelkin installed into a scratch prefix, on a private KWin that grants it nothing but what
# its installed desktop files ask for: the picture and the dragged capture, which need fake
# input, the window list and screenshots in both the runner and the dialog's program.
#   tests/e2e/installed-kwin.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
# The checks find the program and the Wayland target, which is not installed, in one folder.
mkdir "$prefix/checks"
ln -s "$prefix/bin/ravelkin" "$build/bin/ravelkin-wayland-target" "$prefix/checks/"
RAVELKIN_TEST_KWIN_APPLICATIONS=$prefix/share/applications \
    "$here/../../scripts/lib/with-kwin" "$here/runs.sh" "$prefix/checks" picture capture
