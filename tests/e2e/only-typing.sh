#!/usr/bin/env bash
# only-typing.sh <qarvel binary> <artifacts folder> <fcitx5|ibus>
#
# Only what this machine's keyboard types in exam time reaches the answer;
# inside with-fcitx5.sh or with-ibus.sh:
#  1. pinyin typed while paused (a composition open at 暂停 included, and a
#     pause before the first key) composes nothing: after 继续 only what is
#     typed after it arrives; the same at time up and after completion;
#  2. key events sent to the windows by another program (xdotool --window,
#     XSendEvent, which xdotool uses while the window does not have the focus;
#     to the focused window it uses XTest, a keyboard's twin) type nothing, in
#     the login window or the exam window, and F5 sent that way does not pause;
#  3. a second program committing through the input method with no key pressed
#     (ibus: taking the panel's bus name; fcitx5: sending keys to the program's
#     input context over D-Bus) changes nothing; typing goes on as before.
#  Run as ibus and as fcitx5 (the third argument).
# Leaves <artifacts>/only-typing-<backend>-*-failed.png on a failure.
set -uo pipefail

backend=$3
. "$(dirname "$0")/lib/qarvel.sh"
panel_tool="$(dirname "$(realpath "$0")")/tools/ibus-panel-commit.py"
case $backend in
fcitx5)
    begin_fcitx5_test only-typing-fcitx5 "$1" "$2" fcitx5-remote busctl xwininfo
    pinyin_on() {
        wait_for 10 sh -c '[ "$(fcitx5-remote)" != 0 ]' || fail "no input context"
        fcitx5-remote -s pinyin
        wait_for 5 sh -c '[ "$(fcitx5-remote -n)" = pinyin ]' || fail "pinyin did not come on"
    }
    pinyin_off() { fcitx5-remote -c; }
    ;;
ibus)
    [ -n "${QARVEL_IBUS_SANDBOX:-}" ] || { echo "run me inside with-ibus.sh" >&2; exit 2; }
    export QARVEL_FCITX5_SANDBOX=ibus # the shared start only checks that a sandbox runs
    begin_fcitx5_test only-typing-ibus "$1" "$2" ibus /usr/bin/python3 xwininfo
    pinyin_on() {
        ibus engine libpinyin
        wait_for 5 sh -c '[ "$(ibus engine)" = libpinyin ]' || fail "pinyin did not come on"
    }
    pinyin_off() { ibus engine xkb:us::eng; }
    ;;
*)
    echo "usage: $0 <qarvel> <artifacts> <fcitx5|ibus>" >&2
    exit 2
    ;;
esac

# unchanged_for <seconds>: the answer and the change count stay as they are.
unchanged_for() {
    local answer changes
    answer=$(value answer)
    changes=$(value changes)
    sleep "$1"
    [ "$(value answer)" = "$answer" ] || fail "answer changed to \"$(value answer)\""
    [ "$(value changes)" = "$changes" ] || fail "changes $changes -> $(value changes)"
}
typed() { # typed <pinyin> <answer>: typed now, the answer becomes exactly that
    xdotool type --delay 40 "$1"
    wait_for 5 dump_says answer "$2" || fail "after \"$1\": answer \"$(value answer)\", not \"$2\""
}
pause() {
    xdotool key F5
    wait_for 5 dump_says answerReadOnly 1 || fail "F5 did not pause"
}
go_on() {
    xdotool key F6
    wait_for 5 dump_says answerReadOnly 0 || fail "F6 did not continue"
}
# sent <window> <xdotool command...>: the command's key events sent to the
# window with XSendEvent, the focus away meanwhile; the window has it again after.
# The program takes events in order: active again, it has taken the sent ones.
sent() {
    local window=$1 active root
    shift
    active=$(value active)
    root=$(xwininfo -root | awk '/Window id:/ { print $4 }')
    xdotool windowfocus "$root"
    wait_for 5 dump_says active "" || fail "the focus did not leave the program"
    xdotool "$1" --window "$window" --delay 20 "${@:2}"
    xdotool windowfocus "$window"
    wait_for 5 dump_says active "$active" || fail "the focus did not come back to $active"
}
# login_with <duration>: the login window, the name and a duration, then the exam.
login_with() {
    await_login
    pinyin_off
    xdotool type --delay 20 Test
    wait_for 5 dump_says Form2.Edit1 Test || fail "name field: $(value Form2.Edit1)"
    xdotool mousemove --window "$login" 340 213 click 1
    xdotool key End
    for _ in $(seq 8); do xdotool key BackSpace; done
    xdotool type --delay 20 "$1"
    wait_for 5 dump_says Form2.Edit3 "$1" || fail "duration field: $(value Form2.Edit3)"
    click_start
    await_exam
}

work="$scratch/work"
write_source "$work" "$(printf '秋天的校园%.0s' $(seq 40))"

# 1. Paused: a composition open at 暂停, then keys while paused.
start pause "$work"
# 2. Keys sent by another program to the login window.
await_login
sent "$login" type 'xyz'
dump_says Form2.Edit1 '' || fail "sent keys reached the name field: $(value Form2.Edit1)"
xdotool type --delay 20 Test
wait_for 5 dump_says Form2.Edit1 Test || fail "name field: $(value Form2.Edit1)"
click_start
await_exam
focus_answer
pinyin_on
pause # before the first key
xdotool type --delay 40 'qiutiandexiaoyuan '
unchanged_for 1
go_on
typed 'nihao ' '你好'
xdotool type --delay 40 'nihao'
sleep 0.5
pause
xdotool type --delay 40 'women '
xdotool key space
unchanged_for 1
go_on
xdotool key space
sleep 0.5
[ "$(value answer)" = '你好' ] ||
    [ "$(value answer)" = '你好 ' ] || fail "after continue and a space: \"$(value answer)\""
dump_says answer '你好 ' && xdotool key BackSpace
typed 'nihao ' '你好你好'
echo "pause: nothing typed while paused arrived"

# 2. Key events sent by another program to the exam window: text, pinyin, F5.
sent "$exam" type 'nihao abc'
sent "$exam" key F5
unchanged_for 1
dump_says answerReadOnly 0 || fail "F5 sent by another program paused the exam"
focus_answer
typed 'women ' '你好你好我们'
echo "sent keys: nothing typed, no pause"

# 3. A second program commits with no key pressed, the examinee's keys a few
# seconds past (a key pays for one commit only within moments of its press).
sleep 2
before=$(value answer)
if [ "$backend" = ibus ]; then
    /usr/bin/python3 "$panel_tool" '秋天的校园秋天的校园秋天的校园秋天的校园秋天的校园' 0.02 ||
        fail "the panel's commits could not be sent"
else
    # Keys into every input context of fcitx5, over its own bus (fcitx5 itself
    # answers "not handled" to a caller that did not make the context).
    ics=$(busctl --user tree --list org.fcitx.Fcitx5 2>/dev/null | grep -E '/inputcontext/[0-9]+$')
    [ -n "$ics" ] || fail "no input context of fcitx5 on the bus"
    for ic in $ics; do
        for sym in 0x71 0x69 0x75 0x74 0x69 0x61 0x6e 0x20; do # "qiutian "
            busctl --user call org.fcitx.Fcitx5 "$ic" org.fcitx.Fcitx.InputContext1 \
                ProcessKeyEvent uuubu "$sym" 0 0 false 0 >/dev/null 2>&1
            busctl --user call org.fcitx.Fcitx5 "$ic" org.fcitx.Fcitx.InputContext1 \
                ProcessKeyEvent uuubu "$sym" 0 0 true 0 >/dev/null 2>&1
        done
    done
fi
unchanged_for 1
[ "$(value answer)" = "$before" ] || fail "a second program's commits arrived: $(value answer)"
xdotool key Escape
typed 'shi ' "${before}是"
echo "second program: nothing committed"
qarvel_stop

# 1. Time up with a composition open; keys after it.
start timeup "$work"
login_with 0:00:04
focus_answer
pinyin_on
typed ',' '，' # the clock starts with the first change
xdotool type --delay 40 'nihao'
wait_for 10 dump_says answerReadOnly 1 || fail "time was not up: $(value Label14)"
xdotool type --delay 40 'women '
xdotool key space
unchanged_for 1
[ "$(value answer)" = '，' ] || fail "typed at time up: \"$(value answer)\""
echo "time up: nothing arrived"
qarvel_stop

# 1. Completion: the box takes nothing more.
write_source "$work" '你好'
start complete "$work"
login_with 0:30:00
focus_answer
pinyin_on
typed 'nihao ' '你好'
wait_for 5 dump_says answerEnabled 0 || fail "not complete"
xdotool type --delay 40 'women '
unchanged_for 1
echo "complete: nothing arrived"
echo "PASS ($backend)"
