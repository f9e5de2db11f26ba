#!/usr/bin/env bash
# login-ime.sh <qarvel binary> <artifacts folder> <fcitx5|ibus>
#
# Signing in with pinyin left on, as most examinees do: runs inside
# with-fcitx5.sh or with-ibus.sh. Pinyin is switched on in the name field and
# "nihao " gives 你好; Enter, then the number and a new duration typed with
# pinyin still on reach their fields as typed (no composition, "0:45:00", not
# "04500"), and the
# exam window shows them. Leaves <artifacts>/login-ime-<backend>.png.
set -uo pipefail

backend=$3
. "$(dirname "$0")/lib/qarvel.sh"
case $backend in
fcitx5)
    begin_fcitx5_test login-ime-fcitx5 "$1" "$2" fcitx5-remote
    pinyin_on() {
        wait_for 10 sh -c '[ "$(fcitx5-remote)" != 0 ]' || fail "no input context"
        fcitx5-remote -o
        wait_for 5 sh -c '[ "$(fcitx5-remote -n)" = pinyin ]' || fail "pinyin did not come on"
    }
    ;;
ibus)
    [ -n "${QARVEL_IBUS_SANDBOX:-}" ] || { echo "run me inside with-ibus.sh" >&2; exit 2; }
    export QARVEL_FCITX5_SANDBOX=ibus # the shared start only checks that a sandbox runs
    begin_fcitx5_test login-ime-ibus "$1" "$2" ibus
    pinyin_on() {
        ibus engine libpinyin # may report failure after switching
        wait_for 5 sh -c '[ "$(ibus engine)" = libpinyin ]' || fail "pinyin did not come on"
    }
    ;;
*)
    echo "usage: $0 <qarvel> <artifacts> <fcitx5|ibus>" >&2
    exit 2
    ;;
esac

work="$scratch/work"
write_source "$work" $'你好\r\n'
start "$backend" "$work"
await_login
pinyin_on
xdotool type --delay 30 'nihao '
wait_for 5 dump_says Form2.Edit1 '你好' || fail "name field: $(value Form2.Edit1)"

xdotool key Return
wait_for 5 dump_says focus Edit2 || fail "focus: $(value focus)"
# A stray letter first: through pinyin it would start a composition and the
# next digit would pick a candidate instead of reaching the field.
xdotool type --delay 30 'x20240917'
# The duration field (Edit3 at 224,200, 129 x 27) emptied and typed anew.
xdotool mousemove --window "$login" 340 213 click 1
xdotool key End
for _ in $(seq 8); do xdotool key BackSpace; done
xdotool type --delay 30 '0:45:00'
wait_for 5 dump_says Form2.Edit3 0:45:00 || fail "duration field: $(value Form2.Edit3)"
dump_says Form2.Edit2 20240917 || fail "number field: $(value Form2.Edit2)"
import -window root "$artifacts/login-ime-$backend.png"

click_start
await_exam
dump_says Label17 '你好' || fail "name: $(value Label17)"
dump_says Label19 20240917 || fail "number: $(value Label19)"
dump_says Label14 0:45:00 || fail "remaining time: $(value Label14)"
echo "PASS ($backend)"
