#!/usr/bin/env bash
# startup.sh <build folder> [runs]
#
# Start-up of the program beside a bare Qt window, on an X display of its own
# (Xvfb, no window manager): the milliseconds from process start until the
# first window is on screen (the login window; the bare window), as the median
# of several runs, and the peak memory (maximum resident set) of one run each.
# The bare window is measured empty and with one line of Chinese, which is what
# any window with text pays for fontconfig and a Chinese face. Run from the
# repository, whose vexo/2.txt the program loads.
set -uo pipefail
build=$(realpath "$1")
runs=${2:-9}
cd "$(dirname "$0")/.."
. tests/e2e/lib/sandbox.sh
sandbox_name=startup
sandbox_require /usr/bin/time
sandbox_begin startup
export QT_QPA_PLATFORM=xcb

first_map="$build/bench/first_map"
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
measure() { # measure <label> <window title> <command...>
    local label=$1 title=$2 ms kb
    shift 2
    ms=$(for _ in $(seq "$runs"); do "$first_map" --linger 100 --name "$title" -- "$@" 2>/dev/null; done | median)
    kb=$(/usr/bin/time -f %M "$first_map" --linger 300 --name "$title" -- "$@" 2>&1 >/dev/null | tail -n 1)
    printf '%-22s %7s ms to the first window   peak %6.1f MiB\n' "$label" "$ms" "$(echo "$kb / 1024" | bc -l)"
}
measure "bare window" bare "$build/bench/bare_window"
measure "bare window, text" bare "$build/bench/bare_window" --text
measure "qarvel (login window)" 考生进入 "$build/src/app/qarvel"
