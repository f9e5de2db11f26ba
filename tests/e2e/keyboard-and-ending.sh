#!/usr/bin/env bash
# keyboard-and-ending.sh <qarvel binary> <artifacts folder>
#
# Runs inside with-fcitx5.sh. The exam window driven from the keyboard alone,
# then the time the process takes to end after OK in the close question:
#   1. a 10-hanzi name and a 20-digit number stay in their room (screenshot
#      keyboard-long-name.png); F5 pauses, F6 continues, F8 opens the
#      input-method menu (keyboard-ime-menu.png), Alt+F4 asks the close
#      question, whose OK ends the program;
#   2. the same end under openbox with the accessibility bus on, 3 times; the
#      first time Alt+F4, which openbox keeps for itself, asks the question too.
# Every end comes within 0.3 s of OK, with status 0; the times are printed.
set -uo pipefail

. "$(dirname "$0")/lib/qarvel.sh"
begin_fcitx5_test keyboard "$1" "$2" bc
work="$scratch/work"
write_source "$work" $'你好世界\r\n'
limit=0.3

# ok_ends_promptly: 确定 on the close question; the process ends in time.
ok_ends_promptly() {
    local t0 t1 took status
    t0=$(date +%s.%N)
    answer_ok
    while running; do
        t1=$(date +%s.%N)
        [ "$(echo "$t1 - $t0 > 5" | bc)" = 1 ] && fail "still running 5 s after OK"
        sleep 0.005
    done
    t1=$(date +%s.%N)
    wait "$qarvel_pid"
    status=$?
    qarvel_pid=""
    took=$(echo "$t1 - $t0" | bc)
    echo "$run: ended $took s after OK, status $status"
    [ $status -eq 0 ] || fail "exit status $status"
    [ "$(echo "$took < $limit" | bc)" = 1 ] || fail "ended $took s after OK (limit $limit s)"
}

# ---- 1. Keyboard only ---------------------------------------------------------
start keys "$work"
await_login
xdotool type --delay 20 'Long'
wait_for 5 dump_says Form2.Edit1 Long || fail "name field: $(value Form2.Edit1)"
# The name arrives as a long Chinese name would from an input method.
xdotool key ctrl+a BackSpace
wait_for 5 dump_says Form2.Edit1 '' || fail "name field: $(value Form2.Edit1)"
wait_for 10 sh -c '[ "$(fcitx5-remote)" != 0 ]' || fail "no input context"
fcitx5-remote -o
wait_for 5 sh -c '[ "$(fcitx5-remote -n)" = pinyin ]' || fail "pinyin did not come on"
name=""
for _ in 1 2 3 4 5; do
    xdotool type --delay 30 'nihao '
    name+='你好'
    wait_for 5 dump_says Form2.Edit1 "$name" || fail "name field: $(value Form2.Edit1)"
done
xdotool key Return
xdotool type --delay 20 '12345678901234567890'
wait_for 5 dump_says Form2.Edit2 12345678901234567890 || fail "number field: $(value Form2.Edit2)"
xdotool key Tab Return # 开始考试 has the focus after the number
await_exam
dump_says Label17 "$name" || fail "name: $(value Label17)"
dump_says Label19 12345678901234567890 || fail "number: $(value Label19)"
import -window root "$artifacts/keyboard-long-name.png"

type_answer abc
xdotool key F5
wait_for 5 dump_says answerReadOnly 1 || fail "F5 did not pause"
xdotool key F6
wait_for 5 dump_says answerReadOnly 0 || fail "F6 did not continue"
xdotool key F8
wait_for 5 menu_open || fail "F8 opened no menu"
sleep 0.2
import -window root "$artifacts/keyboard-ime-menu.png"
xdotool key Escape
wait_for 5 dump_says focus Memo1 || fail "the focus left the answer box"
xdotool key alt+F4
wait_for 5 sh -c "xdotool search --onlyvisible --name '^提示\$' >/dev/null" ||
    fail "Alt+F4 asked no close question"
import -window root "$artifacts/keyboard-close-question.png"
ok_ends_promptly

# ---- 2. openbox and the accessibility bus ----------------------------------------
if command -v openbox >/dev/null && [ -x /usr/libexec/at-spi-bus-launcher ]; then
    openbox >"$scratch/openbox.log" 2>&1 &
    wm=$!
    wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        fail "openbox did not start"
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$scratch/atspi.log" 2>&1 &
    a11y=$!
    trap 'qarvel_stop; kill $a11y $wm 2>/dev/null; wait 2>/dev/null; rm -rf "$scratch"' EXIT
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    for i in 1 2 3; do
        start "openbox-a11y-$i" "$work"
        await_login
        # openbox hands the keyboard to a new window a moment after mapping it.
        wait_for 5 sh -c "[ \"\$(xdotool getwindowfocus)\" = $login ]" ||
            fail "the login window has no keyboard focus"
        xdotool type --delay 20 Test
        wait_for 5 dump_says Form2.Edit1 Test || fail "name field: $(value Form2.Edit1)"
        click_start
        await_exam
        focus_answer
        wait_for 10 sh -c '[ "$(fcitx5-remote)" != 0 ]' || fail "no input context"
        fcitx5-remote -o
        xdotool type --delay 30 'nihao '
        wait_for 5 dump_says answer '你好' || fail "answer: $(value answer)"
        if [ "$i" = 1 ]; then
            # openbox keeps Alt+F4: its close comes with Alt held, and asks too.
            xdotool keydown alt key F4
            sleep 0.3
            xdotool keyup alt
            wait_for 5 sh -c "xdotool search --onlyvisible --name '^提示\$' >/dev/null" ||
                fail "Alt+F4 under openbox asked no close question"
            import -window root "$artifacts/keyboard-openbox-alt-f4.png"
            xdotool key Escape
            sleep 0.3
            running || fail "Cancel ended the program"
        fi
        click_close_picture
        ok_ends_promptly
    done
else
    echo "openbox or at-spi2-core missing: the desktop set-up is not measured"
fi
echo "PASS"
