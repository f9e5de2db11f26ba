#!/usr/bin/env bash
# typing-kinds.sh <qarvel binary> <artifacts folder> <fcitx5|ibus>
#
# Every kind of key an examinee types through a real input method reaches the
# answer, inside with-fcitx5.sh or with-ibus.sh: pinyin phrases ended by space,
# a phrase ended by punctuation (one key, two commits), number keys choosing
# candidates, a sentence chosen by its number, punctuation alone, Enter
# committing the letters, full-width digits, shuangpin and, with fcitx5, wubi
# (its table ships with fcitx5's Chinese add-ons).
set -uo pipefail

backend=$3
. "$(dirname "$0")/lib/qarvel.sh"
case $backend in
fcitx5)
    begin_fcitx5_test typing-kinds-fcitx5 "$1" "$2" fcitx5-remote gdbus
    use_im() {
        fcitx5-remote -s "$1"
        wait_for 5 sh -c "[ \"\$(fcitx5-remote -n)\" = $1 ]" || fail "$1 did not come on"
    }
    pinyin=pinyin
    ;;
ibus)
    [ -n "${QARVEL_IBUS_SANDBOX:-}" ] || { echo "run me inside with-ibus.sh" >&2; exit 2; }
    export QARVEL_FCITX5_SANDBOX=ibus # the shared start only checks that a sandbox runs
    begin_fcitx5_test typing-kinds-ibus "$1" "$2" ibus gsettings
    use_im() {
        ibus engine "$1"
        wait_for 5 sh -c "[ \"\$(ibus engine)\" = $1 ]" || fail "$1 did not come on"
    }
    pinyin=libpinyin
    ;;
*)
    echo "usage: $0 <qarvel> <artifacts> <fcitx5|ibus>" >&2
    exit 2
    ;;
esac

# kind <name> <keys...>: the keys (xdotool key names, or "t:text" typed) add
# `expected` to the answer.
expected=""
kind() {
    local name=$1 before k
    shift
    before=$(value answer)
    for k in "$@"; do
        case $k in
        t:*) xdotool type --delay 40 "${k#t:}" ;;
        *) xdotool key --delay 40 "$k" ;;
        esac
    done
    wait_for 5 dump_says answer "$before$expected" ||
        fail "$name: answer \"$(value answer)\", expected \"$before$expected\""
    echo "$name: \"$expected\" typed"
}

work="$scratch/work"
write_source "$work" "$(printf '秋天的校园%.0s' $(seq 40))"
start "$backend" "$work"
sign_in Test
focus_answer
if [ "$backend" = fcitx5 ]; then
    wait_for 10 sh -c '[ "$(fcitx5-remote)" != 0 ]' || fail "no input context"
    # Shuangpin and wubi join the group beside pinyin.
    gdbus call --session --dest org.fcitx.Fcitx5 --object-path /controller \
        --method org.fcitx.Fcitx.Controller1.SetInputMethodGroupInfo Default us \
        "[('keyboard-us',''),('pinyin',''),('shuangpin',''),('wbx','')]" >/dev/null ||
        fail "could not set the input-method group"
fi
use_im "$pinyin"

expected='你好' kind "phrase, space" t:'nihao '
[ "$backend" = fcitx5 ] && expected='你好，' kind "phrase, comma" t:'nihao,'
[ "$backend" = fcitx5 ] && expected='我们。' kind "phrase, full stop" t:'women.'
expected='我' kind "number key" t:wo 1
expected='，' kind "punctuation alone" comma
expected='你好吗' kind "sentence, number key" t:nihaoma 1
expected='nihao' kind "Enter" t:nihao Return
expected='？' kind "question mark" question
if [ "$backend" = ibus ]; then
    # The engine set anew: punctuation commits the phrase before it, shuangpin
    # (Microsoft's scheme) and full-width digits.
    s=com.github.libpinyin.ibus-libpinyin.libpinyin
    gsettings set $s auto-commit true && gsettings set $s double-pinyin true &&
        gsettings set $s double-pinyin-schema 0 && gsettings set $s init-full true ||
        fail "gsettings could not set libpinyin's keys"
    use_im xkb:us::eng
    use_im libpinyin
    expected='你好，' kind "phrase, comma" t:'nihk,'
    expected='你好' kind "shuangpin" t:'nihk '
    expected='１２' kind "full-width digits" t:12
fi
import -window root "$artifacts/typing-kinds-$backend.png" 2>/dev/null
echo "PASS ($backend)"
