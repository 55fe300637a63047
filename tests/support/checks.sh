# SPDX-License-Identifier: GPL-3.0-or-later
# What the shell tests share: fail says what went wrong (naming $check when set) and counts
# it in failures; expect compares a value with the one wanted; await runs a command until it
# succeeds, for at most 20 seconds.
failures=0
fail() {
    echo "FAILED${check:+ $check}: $*" >&2
    failures=$((failures + 1))
}
expect() { [ "$1" = "$2" ] || fail "$3: got [$1], want [$2]"; }
await() {
    local _
    for _ in $(seq 400); do "$@" && return 0; sleep 0.05; done
    return 1
}
