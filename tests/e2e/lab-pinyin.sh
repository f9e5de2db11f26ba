#!/usr/bin/env bash
# lab-pinyin.sh <qarvel binary> <repository> <artifacts folder>
#
# The input method as the README's "rolling out to a lab" sets it up for every
# user: fcitx5 with the machine-wide profile (pinyin) and configuration
# (ShareInputState=All) taken from the README itself, in a folder of
# XDG_CONFIG_DIRS of a sandbox standing in for /etc/xdg. Pinyin switched on once
# in the login's name field is still on in the exam window's answer box:
# "nihao " there gives 你好 without switching it on again. The README's
# settings for exams hold in the running fcitx5: no emoji candidates, no cloud
# pinyin, no prediction, the clipboard add-on off; and its login script removes
# what pinyin learned. Leaves <artifacts>/lab-pinyin.png.
set -uo pipefail

if [ $# -ne 3 ]; then
    echo "usage: $0 <qarvel> <repository> <artifacts>" >&2
    exit 2
fi
qarvel=$(realpath "$1")
repository=$(realpath "$2")
artifacts=$(realpath -m "$3")
mkdir -p "$artifacts"

. "$(dirname "$0")/lib/sandbox.sh"
sandbox_name=lab-pinyin
sandbox_require fcitx5 fcitx5-remote gdbus xdotool import iconv
sandbox_begin lab-pinyin
export QT_QPA_PLATFORM=xcb

# The machine-wide files, as the README writes them.
readme="$repository/README.md"
system="$sandbox/xdg"
mkdir -p "$system/fcitx5"
# The profile: the indented block after the line naming /etc/xdg/fcitx5/profile.
awk '/\/etc\/xdg\/fcitx5\/profile`/ { on = 1; next }
     on && /^    / { sub(/^    /, ""); print; seen = 1; next }
     on && seen && !/^$/ { exit }' "$readme" >"$system/fcitx5/profile"
grep -q '^DefaultIM=pinyin$' "$system/fcitx5/profile" || sandbox_fail "no profile in the README"
# The configuration: the README's printf line, run into the sandbox's folder.
config_line=$(grep -m 1 -o "printf '\[Behavior\][^']*'" "$readme")
[ -n "$config_line" ] || sandbox_fail "no fcitx5 configuration in the README"
eval "$config_line" >"$system/fcitx5/config"
grep -q '^ShareInputState=All$' "$system/fcitx5/config" || sandbox_fail "config: $(cat "$system/fcitx5/config")"
grep -q '^0=clipboard$' "$system/fcitx5/config" || sandbox_fail "config: $(cat "$system/fcitx5/config")"
# Pinyin for exams: the README's printf line, into the sandbox's conf folder.
pinyin_line=$(grep -m 1 -o "printf 'EmojiEnabled[^']*'" "$readme")
[ -n "$pinyin_line" ] || sandbox_fail "no pinyin settings in the README"
mkdir -p "$system/fcitx5/conf"
eval "$pinyin_line" >"$system/fcitx5/conf/pinyin.conf"
export XDG_CONFIG_DIRS="$system"

# The login script that forgets what pinyin learned: the README's
# here-document, run on a history left in the sandbox's data folder.
awk '/65qarvel-forget-pinyin <<.EOF./ { on = 1; next }
     on && /^ *EOF$/ { exit }
     on { sub(/^        /, ""); print }' "$readme" >"$sandbox/forget.sh"
grep -q 'user.history' "$sandbox/forget.sh" || sandbox_fail "no login script in the README"
learned="$XDG_DATA_HOME/fcitx5/pinyin"
mkdir -p "$learned"
echo learned >"$learned/user.history"
echo learned >"$learned/user.dict"
sh "$sandbox/forget.sh" || sandbox_fail "the login script failed"
[ ! -e "$learned/user.history" ] && [ ! -e "$learned/user.dict" ] ||
    sandbox_fail "the login script left what pinyin learned: $(ls "$learned")"

export QT_IM_MODULE=fcitx XMODIFIERS=@im=fcitx GTK_IM_MODULE=fcitx
fcitx5 -r >"$sandbox/fcitx5.log" 2>&1 &
sandbox_track $!
sandbox_wait_owner org.fcitx.Fcitx5 $!

# The settings as the running fcitx5 has them.
fcitx_config() {
    gdbus call --session --dest org.fcitx.Fcitx5 --object-path /controller \
        --method org.fcitx.Fcitx.Controller1.GetConfig "fcitx://config/$1"
}
pinyin_config=$(fcitx_config addon/pinyin) || sandbox_fail "no pinyin configuration on the bus"
for want in "'EmojiEnabled': <'False'>" "'CloudPinyinEnabled': <'False'>" "'Prediction': <'False'>"; do
    [[ "$pinyin_config" == *"$want"* ]] || sandbox_fail "pinyin is not set for exams: no $want"
done
[[ "$(fcitx_config global)" == *"'DisabledAddons': <{'0': <'clipboard'>}>"* ]] ||
    sandbox_fail "the clipboard add-on is not off"

scratch=$sandbox
shot_prefix=lab-pinyin
. "$(dirname "$0")/lib/qarvel.sh"

work="$sandbox/work"
write_source "$work" $'你好世界\r\n'
start lab "$work"
await_login
wait_for 10 sh -c '[ "$(fcitx5-remote)" != 0 ]' || fail "no input context at the login"
fcitx5-remote -o
wait_for 5 sh -c '[ "$(fcitx5-remote -n)" = pinyin ]' || fail "pinyin did not come on"
xdotool type --delay 30 'nihao '
wait_for 5 dump_says Form2.Edit1 '你好' || fail "name field: $(value Form2.Edit1)"
# Enter to the number (digits reach it raw, pinyin or not), Tab to 开始考试, Enter.
xdotool key Return
xdotool type --delay 30 1
wait_for 5 dump_says Form2.Edit2 1 || fail "number field: $(value Form2.Edit2)"
xdotool key Tab
xdotool key Return
await_exam
focus_answer
wait_for 5 sh -c '[ "$(fcitx5-remote)" = 2 ]' ||
    fail "pinyin is off in the answer box (state $(fcitx5-remote))"
xdotool type --delay 30 'nihao '
wait_for 5 dump_says answer '你好' || fail "answer: $(value answer)"
import -window root "$artifacts/lab-pinyin.png"
click_close_picture
answer_ok
expect_exit
echo "PASS"
