#!/usr/bin/env bash
# login-flow.sh <qarvel binary> <close-window tool> <repository> <artifacts folder>
#
# The program from start to end, as an examinee meets it, in an Xvfb display of
# its own without a window manager (lib/sandbox.sh). The program is started the
# way scripts/run.sh starts it: from the repository, whose vexo/2.txt is the
# sample source text. Runs, each a fresh process:
#   1. the login window comes alone; a name, a number and a duration typed;
#      "开始考试"; the exam window comes, active, with the source counted and
#      the examinee's data; typing starts the clock; the title strip drags the
#      window; the close picture with Cancel changes nothing, with OK ends the
#      program (status 0);
#   2. "退出" ends the program (status 0) without the exam window ever shown;
#   3. the login closed by the window system (WM_DELETE_WINDOW) copies nothing
#      and the exam window is usable; closing the exam window the same way ends
#      the program at once (status 0);
#   4. without vexo/2.txt the open error, naming the full path, comes before
#      any window; then the login, where 开始考试 is refused: no exam window.
# Reads the program's state from its test dump (QARVEL_TEST_DUMP). Leaves
# screenshots of both windows in <artifacts>/login-flow-*.png.
set -uo pipefail

if [ $# -ne 4 ]; then
    echo "usage: $0 <qarvel> <close-window> <repository> <artifacts>" >&2
    exit 2
fi
qarvel=$(realpath "$1")
close_window=$(realpath "$2")
repository=$(realpath "$3")
artifacts=$(realpath -m "$4")
mkdir -p "$artifacts"

. "$(dirname "$0")/lib/sandbox.sh"
sandbox_name=login-flow
sandbox_require xdotool import
sandbox_begin login-flow
export QT_QPA_PLATFORM=xcb
unset QT_IM_MODULE XMODIFIERS

scratch=$sandbox
shot_prefix=login-flow
. "$(dirname "$0")/lib/qarvel.sh"

position() { xdotool getwindowgeometry --shell "$1" | sed -n 's/^[XY]=//p' | paste -sd,; }
at_position() { [ "$(position "$1")" = "$2" ]; }

# ---- 1. Login, exam, clock, drag, close question ------------------------------
start login-exam "$repository"
await_login
dump_says Form2.Edit3 00:30:00 || fail "duration field: $(value Form2.Edit3)"
# Nothing else of the program is on screen for a while, the exam window least.
for _ in $(seq 10); do
    only_window_named 考生进入 || fail "another window came up beside the login"
    sleep 0.05
done
import -window root "$artifacts/login-flow-login.png"

# Name, Enter to the number, the number; then the duration field (Edit3 at
# 224,200, 129 x 27) emptied with Backspace and typed anew.
xdotool mousemove --window "$login" 288 117 click 1
xdotool type --delay 20 ' Li Lei '
xdotool key Return
xdotool type --delay 20 '20240917'
xdotool mousemove --window "$login" 340 213 click 1
xdotool key End
for _ in $(seq 8); do xdotool key BackSpace; done
xdotool type --delay 20 '0:45:00'
wait_for 5 dump_says Form2.Edit3 0:45:00 || fail "duration field: $(value Form2.Edit3)"
dump_says Form2.Edit1 ' Li Lei ' || fail "name field: $(value Form2.Edit1)"
dump_says Form2.Edit2 20240917 || fail "number field: $(value Form2.Edit2)"
import -window root "$artifacts/login-flow-login-filled.png"

click_start
await_exam
dump_says Label17 'Li Lei' || fail "name: $(value Label17)"
dump_says Label19 20240917 || fail "number: $(value Label19)"
dump_says Label14 0:45:00 || fail "remaining time: $(value Label14)"
dump_says Label21 00:00:00 || fail "elapsed time: $(value Label21)"
total=$(value Label2)
ascii=$(value Label4)
hanzi=$(value Label6)
[[ "$total" =~ ^[1-9][0-9]*$ && "$ascii" =~ ^[0-9]+$ && "$hanzi" =~ ^[0-9]+$ ]] ||
    fail "source counts: $total $ascii $hanzi"
[ $((ascii + hanzi)) -eq "$total" ] || fail "source counts: $total != $ascii + $hanzi"
echo "login on screen $(value painted.Form2) ms, exam window $(value painted.Form1) ms after start"
# The clock is off until the answer first changes.
sleep 1.2
dump_says Label21 00:00:00 || fail "the clock ran before any typing"
import -window root "$artifacts/login-flow-exam.png"

type_answer abc
wait_for 5 dump_differs Label21 00:00:00 || fail "the clock does not run"
wait_for 2 dump_says Label14 00:44:59 || fail "remaining time: $(value Label14)"

# The title strip's free area drags the window; its title text does not.
before=$(position "$exam")
xdotool mousemove --window "$exam" 60 12 mousedown 1
xdotool mousemove_relative -- 30 20
xdotool mouseup 1
sleep 0.2
[ "$(position "$exam")" = "$before" ] || fail "a drag on the title text moved the window"
xdotool mousemove --window "$exam" 500 16 mousedown 1
xdotool mousemove_relative -- 20 10
xdotool mousemove_relative -- 20 20
xdotool mouseup 1
IFS=, read -r x y <<<"$before"
wait_for 5 at_position "$exam" "$((x + 40)),$((y + 30))" ||
    fail "the window moved from $before to $(position "$exam"), not by 40,30"

# Cancel (Escape) leaves everything as it was and the clock running.
click_close_picture
import -window root "$artifacts/login-flow-close-question.png"
xdotool key Escape
wait_for 5 sh -c "! xdotool search --onlyvisible --name '^提示\$' >/dev/null" ||
    fail "the close question stayed"
sleep 0.5
running || fail "Cancel ended the program"
dump_says answer abc || fail "answer after Cancel: $(value answer)"
dump_says windows Form1 || fail "windows after Cancel: $(value windows)"
elapsed=$(value Label21)
wait_for 3 dump_differs Label21 "$elapsed" || fail "the clock stopped"
# 确定 ends the program.
click_close_picture
answer_ok
expect_exit

# ---- 2. "退出" ------------------------------------------------------------------
start exit "$repository"
await_login
click_exit
expect_exit
[ -z "$(value painted.Form1)" ] || fail "the exam window was shown after 退出"

# ---- 3. Window-system closes ------------------------------------------------------
start platform-close "$repository"
await_login
xdotool type --delay 20 'Wang'
wait_for 5 dump_says Form2.Edit1 Wang || fail "name field: $(value Form2.Edit1)"
"$close_window" "$login" || fail "could not ask the login window to close"
await_exam
dump_says Label17 '' || fail "name copied: $(value Label17)"
dump_says Label19 '' || fail "number copied: $(value Label19)"
dump_says Label14 00:30:00 || fail "remaining time: $(value Label14)"
dump_says answerEnabled 1 || fail "the answer box is disabled"
dump_says answerReadOnly 0 || fail "the answer box is read-only"
type_answer x
wait_for 5 dump_differs Label21 00:00:00 || fail "the clock does not run"
"$close_window" "$exam" || fail "could not ask the exam window to close"
expect_exit

# ---- 4. No source text --------------------------------------------------------------
empty="$sandbox/empty"
mkdir -p "$empty"
start no-source "$empty"
wait_for 20 sh -c "xdotool search --onlyvisible --class '^qarvel\$' >/dev/null" || fail "no window"
wait_for 5 dump_says windows QMessageBox || fail "the error box is not first: $(value windows)"
[ "$(visible_windows | grep -c .)" = 1 ] || fail "more than the error box on screen"
message=$(value QMessageBox.qt_msgbox_label)
case "$message" in
"Cannot open file \"$empty/vexo/2.txt\". "*) ;;
*) fail "error box text: $message" ;;
esac
import -window root "$artifacts/login-flow-no-source-error.png"
xdotool key Return
await_login
xdotool type --delay 20 'Zhao'
click_start
wait_for 5 dump_says windows Form2,QMessageBox || fail "no refusal: $(value windows)"
value QMessageBox.qt_msgbox_label | grep -qF "$empty/vexo/2.txt" ||
    fail "the refusal names no file: $(value QMessageBox.qt_msgbox_label)"
import -window root "$artifacts/login-flow-no-source-refused.png"
xdotool key Return
wait_for 5 dump_says windows Form2 || fail "windows: $(value windows)"
click_exit
expect_exit

echo "PASS"
