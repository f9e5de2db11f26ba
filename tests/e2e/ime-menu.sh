#!/usr/bin/env bash
# ime-menu.sh <qarvel binary> <artifacts folder>
#
# End-to-end test of the input-method menu with a real fcitx5. Runs inside
# with-fcitx5.sh. Starts the real program on a source beginning with 你好, signs
# in, gives the answer box the focus, opens the menu with a click on 选择输入法,
# checks that it lists Pinyin and not the keyboard layout, chooses Pinyin, and
# types "nihao " with xdotool: 你好 arrives as two changes, both characters blue,
# Label10 "2". Leaves <artifacts>/ime-menu.png.
set -uo pipefail

. "$(dirname "$0")/lib/qarvel.sh"
begin_fcitx5_test ime-menu "$1" "$2" fcitx5-remote

work="$scratch/work"
write_source "$work" $'你好世界\r\n'

start menu "$work"
sign_in Test
focus_answer
wait_for 10 sh -c '[ "$(fcitx5-remote)" != 0 ]' || fail "no input context"
[ "$(fcitx5-remote -n)" != pinyin ] || fail "pinyin is on before any choice"

# 选择输入法 (Lab1 at 816,629, 65 x 13): the menu opens with its corner at the pointer.
xdotool mousemove --window "$exam" 840 635 click 1
wait_for 5 menu_open || fail "选择输入法 opened no menu"
import -window root "$artifacts/ime-menu.png"
# Its one item, Pinyin, lies just below and right of the pointer.
xdotool mousemove_relative 30 10 click 1
wait_for 10 sh -c '[ "$(fcitx5-remote -n)" = pinyin ]' || fail "the menu did not switch to pinyin"
wait_for 5 dump_says focus Memo1 || fail "the focus left the answer box"

xdotool type --delay 20 'nihao '
wait_for 5 dump_says answer '你好' || fail "answer after nihao: $(value answer)"
wait_for 2 dump_says changes 2 || fail "changes: $(value changes)"
[ "$(value Label10)" = 2 ] || fail "Label10=$(value Label10)"
for i in 0 1; do
    [ "$(value source$i | cut -d' ' -f2-)" = "#0000ff 0" ] || fail "source$i: $(value source$i)"
done
echo "PASS"
