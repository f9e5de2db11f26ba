#!/usr/bin/env bash
# anti-cheat.sh <qarvel binary> <artifacts folder>
#
# End-to-end test, inside with-fcitx5.sh, of the routes by which the source
# could reach the answer without being typed:
#  1. Ctrl+A, Ctrl+C in the source view, and a mouse drag over it, put none of
#     its text on the clipboard or the X primary selection.
#  2. fcitx5's clipboard (Ctrl+; then 1) commits a single character, but a
#     longer text, with or without a pinyin composition open, is refused.
#  3. A pinyin composition finished while the exam is paused changes nothing;
#     after continue, pinyin types as before.
# Leaves <artifacts>/anti-cheat-*-failed.png on a failure.
set -uo pipefail

. "$(dirname "$0")/lib/qarvel.sh"
begin_fcitx5_test anti-cheat "$1" "$2" xclip fcitx5-remote
clip_pids=()
stop_clips() {
    local pid
    for pid in "${clip_pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    clip_pids=()
}
trap 'qarvel_stop; stop_clips; wait 2>/dev/null; rm -rf "$scratch"' EXIT

# offer <selection> <text>: xclip holds the text as the selection until another
# owner takes it; its process id in `offered`.
offer() {
    printf %s "$2" | xclip -quiet -selection "$1" >/dev/null 2>&1 &
    offered=$!
    clip_pids+=("$offered")
    wait_for 5 sh -c "xclip -o -selection $1 2>/dev/null | grep -q ." || fail "xclip did not take $1"
}
holds_source() { xclip -o -selection "$1" 2>/dev/null | grep -q '你好'; }
# The fcitx5 clipboard: its panel, then its first entry.
ime_clipboard() {
    xdotool key ctrl+semicolon
    sleep 0.5
    xdotool key 1
}
# unchanged_for <seconds>: the answer and the change count stay as they are.
unchanged_for() {
    local answer changes
    answer=$(value answer)
    changes=$(value changes)
    sleep "$1"
    [ "$(value answer)" = "$answer" ] || fail "answer changed to $(value answer)"
    [ "$(value changes)" = "$changes" ] || fail "changes $changes -> $(value changes)"
}

work="$scratch/work"
write_source "$work" $'你好世界\r\n我们是学生，今天考试。\r\n'

start cheat "$work"
sign_in Test

# 1. The source view gives nothing away. After the login it has the focus.
[ "$(value focus)" = RichEdit1 ] || fail "focus after the login: $(value focus)"
xdotool key ctrl+a ctrl+c
sleep 0.3
! holds_source clipboard || fail "Ctrl+A, Ctrl+C put the source on the clipboard"
! holds_source primary || fail "Ctrl+A put the source on the primary selection"
# A drag over the first line of RichEdit1 (16,64 in Panel1 at 11,33) selects it; the
# view then owns the primary selection but offers no text.
offer primary sentinel
xdotool mousemove --window "$exam" 35 110 mousedown 1
xdotool mousemove --window "$exam" 120 112 mousemove --window "$exam" 300 115
xdotool mouseup 1
wait_for 5 sh -c '[ "$(xclip -o -selection primary 2>/dev/null)" != sentinel ]' ||
    fail "the drag selected nothing"
! holds_source primary || fail "a drag put the source on the primary selection"
[ "$(value answer)" = "" ] || fail "answer: $(value answer)"

# 2. The input method's clipboard.
focus_answer
wait_for 10 sh -c '[ "$(fcitx5-remote)" != 0 ]' || fail "no input context"
offer clipboard 你
sleep 0.5
ime_clipboard
wait_for 5 dump_says answer '你' || fail "one character from the clipboard: $(value answer)"
offer clipboard $'好世界\n我们'
sleep 0.5
ime_clipboard
unchanged_for 1
# The same during a composition: fcitx5 takes the pre-edit away, then commits.
fcitx5-remote -s pinyin
wait_for 10 sh -c '[ "$(fcitx5-remote -n)" = pinyin ]' || fail "pinyin not active"
xdotool type --delay 20 'n'
sleep 0.3
ime_clipboard
unchanged_for 1
xdotool key Escape
sleep 0.3
[ "$(value answer)" = 你 ] || fail "answer after Escape: $(value answer)"

# 3. Pause mid-composition: the commit changes nothing. Pap1 暂停 at 755,6 and Pap2
# 继续 at 819,6 in Panel1, both 60 x 20.
xdotool type --delay 20 'hao'
sleep 0.3
xdotool mousemove --window "$exam" 796 49 click 1
wait_for 5 dump_says answerReadOnly 1 || fail "pause did not make the answer read-only"
xdotool key space
unchanged_for 1
xdotool type --delay 20 'shijie '
unchanged_for 1
xdotool mousemove --window "$exam" 860 49 click 1
wait_for 5 dump_says answerReadOnly 0 || fail "continue did not make the answer writable"
focus_answer
xdotool type --delay 20 'hao '
wait_for 5 dump_says answer '你好' || fail "pinyin after continue: $(value answer)"
[ "$(value Label10)" = 2 ] || fail "Label10=$(value Label10)"
echo "PASS"
