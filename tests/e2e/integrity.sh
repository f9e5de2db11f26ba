#!/usr/bin/env bash
# integrity.sh <qarvel binary> <artifacts folder>
#
# End-to-end test, inside with-fcitx5.sh, of the exam's integrity with pinyin:
#  1. Page Up only scrolls: what is typed after it lands at the end of the
#     answer, and the counts follow the text.
#  2. Other programs of the session read both text views over the
#     accessibility bus (text, caret, the marks) but their edit requests
#     (insert, delete, set contents, cut, copy, paste) change nothing and put
#     nothing of the source on the clipboard (tools/atspi-edit.py).
#  3. Tab takes the focus to the source view; typing and pinyin there, also
#     after Ctrl+A, change neither view.
#  4. A source that never ends (a FIFO held open for writing, /dev/zero) gives
#     the error box within a second.
# Leaves <artifacts>/integrity-*-failed.png on a failure.
set -uo pipefail

. "$(dirname "$0")/lib/qarvel.sh"
begin_fcitx5_test integrity "$1" "$2" xclip fcitx5-remote /usr/bin/python3
atspi_edit="$(dirname "$(realpath "$0")")/tools/atspi-edit.py"
holder=""
# The accessibility bus is started by the session bus on first use; it is ended
# here, by the process id the bus gives for it.
stop_a11y_bus() {
    local pid
    pid=$(dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID \
        string:org.a11y.Bus 2>/dev/null | awk '{print $2}')
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
}
trap 'qarvel_stop; [ -n "$holder" ] && kill "$holder" 2>/dev/null; stop_a11y_bus; wait 2>/dev/null; rm -rf "$scratch"' EXIT

# 4. never_ends <run> <folder>: the error box, naming why, within a second.
never_ends() {
    local started=$EPOCHREALTIME
    start "$1" "$2"
    wait_for 5 dump_says windows QMessageBox || fail "no error box: $(value windows)"
    local ms
    ms=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%d", (b - a) * 1000 }')
    local message
    message=$(value QMessageBox.qt_msgbox_label)
    case "$message" in
    *"Not a regular file"*) ;;
    *) fail "error box text: $message" ;;
    esac
    echo "$1: \"$message\" after $ms ms"
    # A second, with room for the test's own polling of the dump (200 ms).
    [ "$ms" -lt 1200 ] || fail "the error box came after $ms ms"
    qarvel_stop
}
mkdir -p "$scratch/fifo/vexo" "$scratch/zero/vexo"
mkfifo "$scratch/fifo/vexo/2.txt"
# A writer that holds the FIFO open and never writes.
(exec 3<>"$scratch/fifo/vexo/2.txt" && exec sleep 120) &
holder=$!
never_ends fifo "$scratch/fifo"
ln -s /dev/zero "$scratch/zero/vexo/2.txt"
never_ends zero "$scratch/zero"
kill "$holder" 2>/dev/null
holder=""

# 1. Page Up, then typing: the text lands at the end, the counts follow it.
work="$scratch/work"
write_source "$work" '你好你好你好你好'
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 GSETTINGS_BACKEND=memory
start typing "$work"
sign_in Test
focus_answer
wait_for 10 sh -c '[ "$(fcitx5-remote)" != 0 ]' || fail "no input context"
fcitx5-remote -s pinyin
wait_for 10 sh -c '[ "$(fcitx5-remote -n)" = pinyin ]' || fail "pinyin not active"
xdotool type --delay 20 'nihao '
wait_for 5 dump_says answer '你好' || fail "answer: $(value answer)"
xdotool key Return
wait_for 5 dump_says answer '你好\n' || fail "answer after Enter: $(value answer)"
xdotool key Prior Prior Prior
xdotool type --delay 20 'nihao '
wait_for 5 dump_says answer '你好\n你好' || fail "typed after Page Up: $(value answer)"
# The second 你好 stands at the bytes of 好你: wrong, so still 2.
[ "$(value Label10)" = 2 ] || fail "Label10=$(value Label10) for 你好⏎你好"
xdotool key shift+Prior BackSpace BackSpace
wait_for 5 dump_says answer '你好\n' || fail "Backspace after Page Up: $(value answer)"
[ "$(value Label10)" = 2 ] || fail "Label10=$(value Label10) for 你好⏎"

# 2. The accessibility bus reads, and edits nothing.
xclip -selection clipboard -i /dev/null 2>/dev/null
answer=$(value answer)
changes=$(value changes)
sources=$(grep '^source' "$dump")
/usr/bin/python3 "$atspi_edit" >"$scratch/atspi.log" 2>&1
status=$?
cat "$scratch/atspi.log"
[ $status -ne 77 ] || { echo "no accessibility bus, skipping"; exit 77; }
[ $status -eq 0 ] || fail "accessibility requests: see above"
sleep 0.5
[ "$(value answer)" = "$answer" ] || fail "answer changed to $(value answer)"
[ "$(value changes)" = "$changes" ] || fail "changes $changes -> $(value changes)"
[ "$(grep '^source' "$dump")" = "$sources" ] || fail "the source view changed"
! xclip -o -selection clipboard 2>/dev/null | grep -q '你好' ||
    fail "the source reached the clipboard"

# 3. Tab to the source view; typing and pinyin there change nothing.
xdotool key Tab
wait_for 5 dump_says focus RichEdit1 || fail "Tab: focus $(value focus)"
xdotool type --delay 20 'shi '
xdotool key ctrl+a
xdotool type --delay 20 'shi x'
sleep 1
[ "$(value answer)" = "$answer" ] || fail "answer changed to $(value answer)"
[ "$(value changes)" = "$changes" ] || fail "changes $changes -> $(value changes)"
[ "$(grep '^source' "$dump")" = "$sources" ] || fail "the source view changed"
import -window root "$artifacts/integrity-end.png" 2>/dev/null
echo "PASS"
