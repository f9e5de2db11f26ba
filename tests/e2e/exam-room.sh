#!/usr/bin/env bash
# exam-room.sh <qarvel binary> <repository> <artifacts folder> <screen> [scale]
#
# What a real exam room needs of the program, in an Xvfb display of its own of
# <screen> (e.g. 1366x768) pixels, the program at QT_SCALE_FACTOR [scale]:
#   - both windows lie inside the screen, and so do the answer box and
#     选择输入法 (screenshots <artifacts>/exam-room-<screen>-*.png);
# and at scale 1 also:
#   - a missing and an empty source: 开始考试 is refused with a message naming
#     the file tried, and no exam window comes;
#   - the close question: ✕ then Enter, then Space, then Esc leave the exam
#     running; only 确定 ends it;
#   - Ctrl+A in 考试时间 selects it all and typing replaces it;
#   - under a locale whose time separator is "." the default duration and one
#     typed with "." both sign in.
set -uo pipefail

if [ $# -lt 4 ]; then
    echo "usage: $0 <qarvel> <repository> <artifacts> <screen> [scale]" >&2
    exit 2
fi
qarvel=$(realpath "$1")
repository=$(realpath "$2")
artifacts=$(realpath -m "$3")
screen=$4
scale=${5:-1}
mkdir -p "$artifacts"

. "$(dirname "$0")/lib/sandbox.sh"
sandbox_name=exam-room
sandbox_require xdotool import
QARVEL_XVFB_SCREEN="${screen}x24" sandbox_begin exam-room
export QT_QPA_PLATFORM=xcb
unset QT_IM_MODULE XMODIFIERS QT_STYLE_OVERRIDE
export QT_SCALE_FACTOR=$scale

scratch=$sandbox
shot_prefix=exam-room-$screen
. "$(dirname "$0")/lib/qarvel.sh"

screen_w=${screen%x*}
screen_h=${screen#*x}
# inside <name> <x> <y> <w> <h>: the rectangle lies on the screen.
inside() {
    [ "$2" -ge 0 ] && [ "$3" -ge 0 ] && [ $(($2 + $4)) -le "$screen_w" ] &&
        [ $(($3 + $5)) -le "$screen_h" ] || fail "$1 at $2,$3 ${4}x$5 is not inside $screen"
}
window_inside() {
    local X Y WIDTH HEIGHT WINDOW SCREEN
    eval "$(xdotool getwindowgeometry --shell "$2")"
    inside "$1" "$X" "$Y" "$WIDTH" "$HEIGHT"
}
control_inside() {
    local at
    at=$(value "onScreen.$1")
    [ -n "$at" ] || fail "no place for $1 in the dump"
    inside "$1" ${at//,/ }
}
question_window() { visible_named '^提示$'; }
no_question() { [ -z "$(question_window)" ]; }

# ---- Both windows on this screen ----------------------------------------------------
start fit "$repository"
await_login
window_inside "the login window" "$login"
import -window root "$artifacts/exam-room-$screen-login.png"
# From the keyboard, which knows no scale: the name, Enter to the number, Tab
# to 开始考试, Enter.
xdotool type --delay 20 'Lin'
wait_for 5 dump_says Form2.Edit1 Lin || fail "name field: $(value Form2.Edit1)"
xdotool key Return
xdotool key Tab
xdotool key Return
await_exam
window_inside "the exam window" "$exam"
wait_for 5 sh -c '[ -n "$(sed -n "s/^onScreen.Memo1=//p" "'"$dump"'")" ]' || fail "no geometry in the dump"
control_inside Memo1
control_inside Lab1
import -window root "$artifacts/exam-room-$screen-exam.png"
if [ "$scale" != 1 ]; then
    xdotool key alt+F4
    wait_for 5 sh -c "xdotool search --onlyvisible --name '^提示\$' >/dev/null" ||
        fail "no close question"
    answer_ok
    expect_exit
    echo "PASS"
    exit 0
fi

# ---- The close question: only 确定 ends the exam --------------------------------------
type_answer 'ab' # the clock runs from the first key
for key in Return space Escape; do
    click_close_picture
    xdotool key "$key"
    wait_for 5 no_question || fail "$key left the close question open"
    sleep 0.3
    running || fail "$key on the close question ended the exam"
    dump_says answer ab || fail "$key reached the answer: $(value answer)"
done
elapsed=$(value Label21)
wait_for 3 dump_differs Label21 "$elapsed" || fail "the clock stopped"
click_close_picture
answer_ok
expect_exit

# ---- No exam without a text -----------------------------------------------------------
# refused <run> <folder> <words of the message>: 开始考试 is refused with a
# message that names <folder>/vexo/2.txt; the login stays, no exam window.
refused() {
    local folder=$2 words=$3 message
    await_login
    xdotool type --delay 20 'Zhao'
    wait_for 5 dump_says Form2.Edit1 Zhao || fail "name field: $(value Form2.Edit1)"
    click_start
    wait_for 5 dump_says windows Form2,QMessageBox || fail "no message: windows $(value windows)"
    message=$(value QMessageBox.qt_msgbox_label)
    case "$message" in
    *"$words"*"$folder/vexo/2.txt"*) ;;
    *) fail "message: $message" ;;
    esac
    import -window root "$artifacts/exam-room-$1-refused.png"
    xdotool key Return
    wait_for 5 dump_says windows Form2 || fail "after the message: windows $(value windows)"
    sleep 0.3
    dump_says windows Form2 || fail "an exam window came: $(value windows)"
    click_exit
    expect_exit
}
missing="$sandbox/missing"
mkdir -p "$missing"
start missing "$missing"
wait_for 20 dump_says windows QMessageBox || fail "no open error first: $(value windows)"
xdotool key Return
refused missing "$missing" "找不到或无法读取原文文件"

empty="$sandbox/empty"
mkdir -p "$empty/vexo"
printf ' \r\n\t\r\n' >"$empty/vexo/2.txt"
start empty "$empty"
refused empty "$empty" "原文文件中没有可录入的字"

# ---- Ctrl+A in 考试时间 -------------------------------------------------------------------
start select-all "$repository"
await_login
xdotool type --delay 20 'Qian'
xdotool mousemove --window "$login" 288 213 click 1
xdotool key ctrl+a
xdotool type --delay 20 '00:45:00'
wait_for 5 dump_says Form2.Edit3 00:45:00 || fail "duration after Ctrl+A: $(value Form2.Edit3)"
click_start
await_exam
dump_says Label14 00:45:00 || fail "exam duration: $(value Label14)"
click_close_picture
answer_ok
expect_exit

# ---- A locale with "." between hours and minutes --------------------------------------
# Qt's own locale data gives fi_FI "." whether or not glibc has the locale.
for duration in "" 00.20.00; do
    LC_ALL=fi_FI.UTF-8 LANG=fi_FI.UTF-8 start "dot-locale${duration:+-typed}" "$repository"
    await_login
    # The title in this locale's encoding is not one xdotool finds by name.
    [ -n "$login" ] || login=$(visible_windows | head -n 1)
    xdotool type --delay 20 'Sun'
    if [ -n "$duration" ]; then
        xdotool mousemove --window "$login" 288 213 click 1
        xdotool key ctrl+a
        xdotool type --delay 20 "$duration"
        wait_for 5 dump_says Form2.Edit3 "$duration" || fail "duration field: $(value Form2.Edit3)"
    fi
    click_start
    await_exam
    dump_says Label14 "${duration:-00:30:00}" || fail "exam duration: $(value Label14)"
    xdotool mousemove --window "$exam" 888 16 click 1
    wait_for 5 dump_says windows Form1,QMessageBox || fail "no close question: $(value windows)"
    answer_ok
    expect_exit
done
echo "PASS"
