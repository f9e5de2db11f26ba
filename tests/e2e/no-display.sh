#!/usr/bin/env bash
# no-display.sh <qarvel binary>
#
# Without a display the program says so in one line on stderr and exits with
# status 1, instead of Qt's abort: with neither DISPLAY nor WAYLAND_DISPLAY,
# with the X11 platform chosen and no DISPLAY, and with a DISPLAY that cannot
# be opened. Its command line needs no display: --help and --version print and
# end with status 0, a mistake is one line on stderr and status 2.
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
# command <case> <status> <stdout or stderr> <text it starts with> <arguments...>
command() {
    local name=$1 want=$2 stream=$3 text=$4
    shift 4
    (cd "$work" && exec env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$qarvel" "$@") \
        >"$work/stdout" 2>"$work/stderr"
    local status=$? other=stderr
    [ "$stream" = stderr ] && other=stdout
    if [ $status -ne "$want" ] || [ -s "$work/$other" ] ||
        [[ "$(head -n 1 "$work/$stream")" != "$text"* ]] ||
        { [ "$stream" = stderr ] && [ "$(wc -l <"$work/stderr")" -ne 1 ]; }; then
        echo "FAIL $name: status $status, stdout and stderr:" >&2
        cat "$work/stdout" "$work/stderr" >&2
        failed=1
    else
        echo "ok   $name: $(head -n 1 "$work/$stream")"
    fi
}
command "--help" 0 stdout "用法：qarvel" --help
command "--version" 0 stdout "qarvel 1." --version
command "unknown option" 2 stderr "qarvel: 未知选项 “--bogus”" --source x --bogus
command "--source without a file" 2 stderr "qarvel: 选项缺少值" --source
exit $failed
