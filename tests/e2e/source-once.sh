#!/usr/bin/env bash
# source-once.sh <qarvel> <artifacts>
#
# The source file is read once, when the program starts, in an Xvfb display of
# its own (lib/sandbox.sh), with results records on:
#  1. a file swapped for another between the start and the login: the exam,
#     the counts and the record's SHA-256 are those of the file as loaded;
#  2. a FIFO held open and /dev/zero as the source: the error box at once, then
#     the login answers at once (no source to start on) without reading again;
#  3. --source naming a file whose name is GBK bytes (unzipped from Windows)
#     opens it.
set -uo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 <qarvel> <artifacts>" >&2
    exit 2
fi
qarvel=$(realpath "$1")
artifacts=$(realpath -m "$2")
mkdir -p "$artifacts"

. "$(dirname "$0")/lib/sandbox.sh"
sandbox_name=source-once
sandbox_require xdotool import jq iconv sha256sum
sandbox_begin source-once
export QT_QPA_PLATFORM=xcb
unset QT_IM_MODULE XMODIFIERS
export XDG_CONFIG_DIRS="$sandbox/xdg" XDG_STATE_HOME="$sandbox/state"
scratch=$sandbox
shot_prefix=source-once
. "$(dirname "$0")/lib/qarvel.sh"
holder=""
trap 'qarvel_stop; [ -n "$holder" ] && kill "$holder" 2>/dev/null; sandbox_cleanup' EXIT

records() { find "$1" -maxdepth 1 -type f -name '*.json' ! -name '.*' 2>/dev/null; }
has_records() { records "$1" | grep -q .; }
field() { jq -r "$2" "$(records "$1" | head -n 1)" 2>/dev/null; }
sign_in_as() {
    await_login
    xdotool type --delay 20 "$1"
    wait_for 5 dump_says Form2.Edit1 "$1" || fail "name field: $(value Form2.Edit1)"
    # With records kept the number is required.
    xdotool key Return
    xdotool type --delay 20 1
    wait_for 5 dump_says Form2.Edit2 1 || fail "number field: $(value Form2.Edit2)"
    click_start
    await_exam
}

# 1. Swapped between the start and the login.
work="$sandbox/swap"
write_source "$work" '秋天的校园'
loaded=$(sha256sum "$work/vexo/2.txt" | cut -d' ' -f1)
mkdir -p "$sandbox/r-swap"
start swap "$work" --results "$sandbox/r-swap"
await_login
write_source "$work" '春眠不觉晓夜来风雨声花落知多少'
sign_in_as Swap
wait_for 5 has_records "$sandbox/r-swap" || fail "no record"
[ "$(field "$sandbox/r-swap" .source.sha256)" = "$loaded" ] ||
    fail "the record's SHA-256 is not the loaded file's: $(field "$sandbox/r-swap" .source.sha256)"
[ "$(field "$sandbox/r-swap" .source.total)" = 5 ] ||
    fail "source count: $(field "$sandbox/r-swap" .source.total)"
dump_says Label2 5 || fail "Label2=$(value Label2)"
qarvel_stop
echo "swap: the record holds the loaded file's SHA-256"

# 2. Sources that never end.
never_ends() {
    local started=$EPOCHREALTIME ms
    mkdir -p "$sandbox/r-$1"
    start "$1" "$2" --results "$sandbox/r-$1"
    wait_for 5 dump_says windows QMessageBox || fail "no error box: $(value windows)"
    ms=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%d", (b - a) * 1000 }')
    [ "$ms" -lt 1500 ] || fail "the error box came after $ms ms"
    xdotool key Return
    await_login
    xdotool type --delay 20 Never
    xdotool key Return
    xdotool type --delay 20 1
    wait_for 5 dump_says Form2.Edit2 1 || fail "number field: $(value Form2.Edit2)"
    started=$EPOCHREALTIME
    click_start
    # No second read: the login answers at once that there is no source to start on.
    wait_for 3 sh -c "grep -q '^QMessageBox.qt_msgbox_label=不能开始考试' '$dump'" ||
        fail "the login did not answer at once: $(value windows)"
    ms=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%d", (b - a) * 1000 }')
    qarvel_stop
    echo "$1: error box at once; the login answered in $ms ms"
}
mkdir -p "$sandbox/fifo/vexo" "$sandbox/zero/vexo"
mkfifo "$sandbox/fifo/vexo/2.txt"
(exec 3<>"$sandbox/fifo/vexo/2.txt" && exec sleep 120) &
holder=$!
never_ends fifo "$sandbox/fifo"
kill "$holder" 2>/dev/null
holder=""
ln -s /dev/zero "$sandbox/zero/vexo/2.txt"
never_ends zero "$sandbox/zero"

# 3. A file name in GBK bytes.
gbk="$sandbox/gbk"
mkdir -p "$gbk"
name=$(printf '\xc7\xef\xcc\xec.txt') # 秋天.txt in GBK
printf '%s' '秋天的校园' | iconv -f UTF-8 -t GBK >"$gbk/$name"
start gbk "$gbk" --source "$name"
await_login
! dump_says windows QMessageBox || fail "error box: $(value QMessageBox.qt_msgbox_label)"
sign_in_as Gbk
dump_says Label2 5 || fail "Label2=$(value Label2)"
echo "PASS"
