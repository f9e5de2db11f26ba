#!/usr/bin/env bash
# exam-window.sh <qarvel binary> <artifacts folder>
#
# End-to-end test of the exam window with a real input method. Runs inside
# with-fcitx5.sh, which provides Xvfb, a private bus and fcitx5 with pinyin:
#   with-fcitx5.sh exam-window.sh build/x/src/app/qarvel build/x/artifacts
# Starts the real program in a working folder holding a sample source text,
# clicks the answer box, switches pinyin on, types the pinyin of the text's first
# words with xdotool, then reads the window's state from the program's test dump
# (QARVEL_TEST_DUMP) and checks the answer, the colours and the counters. Takes a
# screenshot (<artifacts>/exam-window.png), then ends the program through its
# close picture and the close question, and checks it exited with status 0.
set -uo pipefail

qarvel=$(realpath "$1")
artifacts=$(realpath -m "$2")
mkdir -p "$artifacts"
[ -n "${QARVEL_FCITX5_SANDBOX:-}" ] || { echo "run me inside with-fcitx5.sh" >&2; exit 2; }
for tool in xdotool fcitx5-remote import iconv; do
    command -v "$tool" >/dev/null || { echo "$tool not installed, skipping" >&2; exit 77; }
done

# The real window system of the sandbox, whatever the caller's environment says.
export QT_QPA_PLATFORM=xcb

work=$(mktemp -d "${TMPDIR:-/tmp}/qarvel-e2e.XXXXXX")
qarvel_pid=""
cleanup() {
    [ -n "$qarvel_pid" ] && kill "$qarvel_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/dump.txt" ] && { echo "--- dump" >&2; cat "$work/dump.txt" >&2; }
    [ -s "$work/qarvel.log" ] && { echo "--- program output" >&2; cat "$work/qarvel.log" >&2; }
    import -window root "$artifacts/exam-window-failed.png" 2>/dev/null
    exit 1
}

# The sample: its first words give themselves as the first pinyin candidates.
mkdir -p "$work/vexo"
printf '你好世界\r\n我们是学生，今天考试。\r\n' | iconv -f UTF-8 -t GBK >"$work/vexo/2.txt"

value() { sed -n "s/^$1=//p" "$work/dump.txt" 2>/dev/null; }
wait_for() { # wait_for <seconds> <command...>
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.02
    done
}
dump_says() { [ "$(value "$1")" = "$2" ]; }

started=$(date +%s%N)
(cd "$work" && exec env QARVEL_TEST_DUMP="$work/dump.txt" "$qarvel") >"$work/qarvel.log" 2>&1 &
qarvel_pid=$!
# The login window comes first: a name, then 开始考试 (Button1 at 152,256, 89 x 25).
wait_for 20 xdotool search --onlyvisible --name '^考生进入$' >/dev/null || fail "no login window"
login=$(xdotool search --onlyvisible --name '^考生进入$' | head -n 1)
xdotool type --delay 20 'Test'
xdotool mousemove --window "$login" 196 268 click 1
wait_for 20 xdotool search --onlyvisible --name '^Qarvel$' >/dev/null || fail "no window"
visible=$(date +%s%N)
wait_for 10 test -s "$work/dump.txt" || fail "no test dump"
echo "window on screen $(((visible - started) / 1000000)) ms after start (first paint $(value shownMs) ms after main)"
[ "$(value Label2)" = 15 ] || fail "source counts: Label2=$(value Label2)"

# Click the answer box: Memo1 lies at 16,296 in Panel1 at 11,33 of the window.
window=$(xdotool search --onlyvisible --name '^Qarvel$' | head -n 1)
xdotool mousemove --window "$window" 300 400 click 1
wait_for 5 dump_says focus Memo1 || fail "the answer box did not take the focus"

# Switch pinyin on for the answer box's input context.
wait_for 10 sh -c '[ "$(fcitx5-remote)" != 0 ]' || fail "no input context"
fcitx5-remote -o
fcitx5-remote -s pinyin
wait_for 10 sh -c '[ "$(fcitx5-remote -n)" = pinyin ]' || fail "pinyin not active"

xdotool type --delay 20 'nihao '
wait_for 5 dump_says answer '你好' || fail "answer after nihao: $(value answer)"
xdotool type --delay 20 'shijie '
wait_for 5 dump_says answer '你好世界' || fail "answer after shijie: $(value answer)"

# 你好世界 typed right: four correct Chinese characters, blue, the line break underlined.
[ "$(value Label10)" = 4 ] || fail "Label10=$(value Label10)"
[ "$(value Label12)" = 27 ] || fail "Label12=$(value Label12)" # 4 of 15
for i in 0 1 2 3; do
    [ "$(value source$i | cut -d' ' -f2-)" = "#0000ff 0" ] || fail "source$i: $(value source$i)"
done
[ "$(value source4 | cut -d' ' -f3)" = 1 ] || fail "the line break is not underlined"
[ "$(value source6 | cut -d' ' -f2-)" = "#000000 0" ] || fail "source6: $(value source6)"

# A wrong character turns red: 好 where the source has 我 on the next line.
xdotool key Return
xdotool type --delay 20 'hao '
wait_for 5 dump_says answer '你好世界\n好' || fail "answer after Enter and hao: $(value answer)"
[ "$(value source5 | cut -d' ' -f2)" = "#ff0000" ] || fail "source5: $(value source5)"
[ "$(value source6 | cut -d' ' -f3)" = 1 ] || fail "source6 is not underlined"

# The clock runs from the first keystroke.
wait_for 5 sh -c "[ \"\$(sed -n 's/^Label21=//p' '$work/dump.txt')\" != 00:00:00 ]" ||
    fail "the clock does not run"
[ "$(value Label14)" != 00:30:00 ] || fail "the remaining time does not run"

import -window root "$artifacts/exam-window.png" || fail "no screenshot"

# End through the close picture (Panel3 at 854,6 of the strip; Image1 at 24,3 in
# it) and the close question, answered with Enter (OK).
xdotool mousemove --window "$window" 888 16 click 1
wait_for 5 sh -c "xdotool search --onlyvisible --name '^提示\$' >/dev/null" || fail "no close question"
import -window root "$artifacts/close-question.png"
xdotool key Return
wait_for 5 sh -c "! kill -0 $qarvel_pid 2>/dev/null" || fail "the program did not end"
wait "$qarvel_pid"
status=$?
qarvel_pid=""
[ $status -eq 0 ] || fail "exit status $status"
echo "PASS"
