#!/usr/bin/env bash
# look.sh <qarvel binary> <repository> <artifacts folder>
#
# The windows look the same whatever the desktop's style: the program is started
# under several Qt styles and palettes (a light one, Adwaita's dark one when
# adwaita-qt6 is installed, Qt's "windows" style) in an Xvfb display of its own,
# and the login window, the exam window and the close question, each cut out of
# a screenshot, must be identical pixel for pixel to those of the light run.
# Each run also pauses the exam, so the paused state is on the pictures.
# Then the same at QT_SCALE_FACTOR 1.5 and 2 (scale-1.5, scale-2): the windows
# come at the scaled sizes; their pictures are kept to look at.
# Screenshots: <artifacts>/look-<run>-<window>.png.
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
sandbox_name=look
sandbox_require xdotool import convert compare identify
QARVEL_XVFB_SCREEN=2048x1536x24 sandbox_begin look
export QT_QPA_PLATFORM=xcb
unset QT_IM_MODULE XMODIFIERS QT_STYLE_OVERRIDE QT_SCALE_FACTOR

scratch=$sandbox
shot_prefix=look
. "$(dirname "$0")/lib/qarvel.sh"

# start_styled <run> <env assignments...> -- <program arguments...>
start_styled() {
    run=$1
    shift
    local envs=() args=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do envs+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    args=("$@")
    dump="$scratch/$run.dump"
    log="$scratch/$run.log"
    (cd "$repository" && exec env QARVEL_TEST_DUMP="$dump" "${envs[@]}" "$qarvel" "${args[@]}") \
        >"$log" 2>&1 &
    qarvel_pid=$!
}

# cut <window id> <name>: the window's area of the screen.
cut() {
    local geometry
    geometry=$(xdotool getwindowgeometry --shell "$1") || fail "no window $1"
    eval "$geometry"
    import -window root "$scratch/screen.png"
    convert "$scratch/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage \
        "$artifacts/look-$run-$2.png"
}

runs=("light" "windows")
declare -A env_of=([light]="" [windows]="" [dark]="QT_STYLE_OVERRIDE=Adwaita-Dark"
    [scale-1.5]="QT_SCALE_FACTOR=1.5" [scale-2]="QT_SCALE_FACTOR=2")
declare -A args_of=([light]="-style fusion" [windows]="-style windows" [dark]=""
    [scale-1.5]="" [scale-2]="")
declare -A size_of=([scale-1.5]="1383x972" [scale-2]="1844x1296")
if ls /usr/lib/*/qt6/plugins/styles/*adwaita* >/dev/null 2>&1; then
    runs+=("dark")
else
    echo "adwaita-qt6 not installed: no dark style run" >&2
fi

# click <x> <y>: a click at a point of the exam window, in its unscaled pixels.
click() {
    xdotool mousemove --window "$exam" "$(awk "BEGIN { print int($1 * $scale) }")" \
        "$(awk "BEGIN { print int($2 * $scale) }")" click 1
}

for r in "${runs[@]}" scale-1.5 scale-2; do
    scale=${r#scale-}
    [[ "$scale" =~ ^[0-9.]+$ ]] || scale=1
    # shellcheck disable=SC2086
    start_styled "$r" ${env_of[$r]} -- ${args_of[$r]}
    xdotool mousemove 0 0 # nothing under the pointer
    await_login
    xdotool type --delay 20 'Qarvel l1'
    xdotool key Return
    xdotool type --delay 20 '2024'
    # The focus to 开始考试: no caret blinks on the picture.
    xdotool key Tab
    wait_for 5 dump_says Form2.Edit2 2024 || fail "number field: $(value Form2.Edit2)"
    sleep 0.2
    cut "$login" login
    xdotool key Return
    await_exam
    # 暂停 (Pap1 at 755,6 in Panel1 at 11,33): the answer box greys, the state shows.
    click 795 49
    wait_for 5 dump_says answerReadOnly 1 || fail "pause did not take"
    wait_for 5 dump_says LabelState 已暂停 || fail "state: $(value LabelState)"
    # The focus to the read-only answer box, which shows no caret: nothing blinks.
    click 300 400
    wait_for 5 dump_says focus Memo1 || fail "the answer box did not take the focus"
    xdotool mousemove 0 0
    sleep 0.3
    cut "$exam" exam
    if [ -n "${size_of[$r]:-}" ]; then
        size=$(identify -format %wx%h "$artifacts/look-$r-exam.png")
        [ "$size" = "${size_of[$r]}" ] || fail "exam window $size, not ${size_of[$r]}"
    fi
    click 888 16
    wait_for 5 sh -c "xdotool search --onlyvisible --name '^提示\$' >/dev/null" ||
        fail "no close question"
    cut "$(visible_named '^提示$')" question
    answer_ok
    expect_exit
done

failed=0
for r in "${runs[@]}"; do
    [ "$r" = light ] && continue
    for w in login exam question; do
        differ=$(compare -metric AE "$artifacts/look-light-$w.png" "$artifacts/look-$r-$w.png" \
            "$artifacts/look-$r-$w-diff.png" 2>&1)
        if [ "$differ" != 0 ]; then
            echo "FAIL: $w under $r differs from light in $differ pixels" \
                "(see $artifacts/look-$r-$w-diff.png)" >&2
            failed=1
        else
            rm -f "$artifacts/look-$r-$w-diff.png"
            echo "ok   $w under $r"
        fi
    done
done
[ $failed -eq 0 ] || exit 1
echo PASS
