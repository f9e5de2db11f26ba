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

. "$(dirname "$0")/lib/qarvel.sh"
begin_fcitx5_test exam-window "$1" "$2" fcitx5-remote

# The sample: its first words give themselves as the first pinyin candidates.
work="$scratch/work"
write_source "$work" $'你好世界\r\n我们是学生，今天考试。\r\n'

started=$(date +%s%N)
start exam "$work"
sign_in Test
visible=$(date +%s%N)
echo "exam window on screen $(((visible - started) / 1000000)) ms after start, sign-in included"
[ "$(value Label2)" = 15 ] || fail "source counts: Label2=$(value Label2)"
focus_answer

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
wait_for 5 dump_differs Label21 00:00:00 || fail "the clock does not run"
[ "$(value Label14)" != 00:30:00 ] || fail "the remaining time does not run"

import -window root "$artifacts/exam-window.png" || fail "no screenshot"

# End through the close picture and the close question, answered with 确定.
click_close_picture
import -window root "$artifacts/close-question.png"
answer_ok
expect_exit
echo "PASS"
