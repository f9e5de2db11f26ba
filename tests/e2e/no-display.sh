#!/usr/bin/env bash
# no-display.sh <qarvel binary>
#
# Without a display the program says so in one line on stderr and exits with
# status 1, instead of Qt's abort: with neither DISPLAY nor WAYLAND_DISPLAY,
# with the X11 platform chosen and no DISPLAY, and with a DISPLAY that cannot
# be opened.
set -uo pipefail
qarvel=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/qarvel-no-display.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0

# expect <case> <expected start of the message> <env arguments...>
expect() {
    local name=$1 message=$2
    shift 2
    (cd "$work" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        -u XDG_SESSION_TYPE "$@" timeout 20 "$qarvel") >"$work/out" 2>"$work/err"
    local status=$?
    if [ $status -ne 1 ] || [ -s "$work/out" ] || [ "$(wc -l <"$work/err")" -ne 1 ] ||
        [[ "$(cat "$work/err")" != "qarvel: $message"* ]]; then
        echo "FAIL $name: status $status, stderr:" >&2
        cat "$work/err" >&2
        failed=1
    else
        echo "ok   $name: $(cat "$work/err")"
    fi
}

expect "no display at all" "no display to open the windows on"
expect "X11 chosen, no DISPLAY" "no X display" QT_QPA_PLATFORM=xcb
expect "Wayland only, X11 default" "DISPLAY is not set" WAYLAND_DISPLAY=wayland-qarvel-none
# A display number nobody serves (the socket folder is checked first).
display=":$((RANDOM % 1000 + 5000))"
while [ -e "/tmp/.X11-unix/X${display#:}" ]; do display=":$((${display#:} + 1))"; done
expect "DISPLAY cannot be opened" "cannot open the X display \"$display\"" DISPLAY="$display"
exit $failed
