# Driving the real program in an end-to-end test; sourced by the test scripts.
#
# The caller sets:
#   qarvel     the program
#   scratch    a folder for the test's dumps and logs
#   artifacts  where screenshots go
# and may set `run`, a name for the current start of the program (failure
# screenshots are <artifacts>/<prefix>-<run>-failed.png, prefix `shot_prefix`).
# The program's state is read from its test dump (QARVEL_TEST_DUMP).

run=${run:-main}
shot_prefix=${shot_prefix:-e2e}
qarvel_pid=""
dump=""
log=""

# Ends a program that is still running (for the caller's exit trap).
qarvel_stop() {
    [ -n "$qarvel_pid" ] && kill "$qarvel_pid" 2>/dev/null
    qarvel_pid=""
}

fail() {
    echo "FAIL ($run): $*" >&2
    [ -f "$dump" ] && { echo "--- dump" >&2; grep -v '^source' "$dump" >&2; }
    [ -s "$log" ] && { echo "--- program output" >&2; cat "$log" >&2; }
    echo "--- display $DISPLAY: $(xdpyinfo >/dev/null 2>&1 && echo up || echo DOWN)" >&2
    import -window root "$artifacts/$shot_prefix-$run-failed.png" 2>/dev/null
    qarvel_stop
    exit 1
}

# wait_for <seconds> <command...>: polls until the command succeeds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.02
    done
}
value() { sed -n "s/^$1=//p" "$dump" 2>/dev/null; }
dump_says() { [ "$(value "$1")" = "$2" ]; }
dump_differs() { [ -s "$dump" ] && [ "$(value "$1")" != "$2" ]; }

# The program's windows on screen (Qt names their class after the program).
visible_windows() { xdotool search --onlyvisible --class '^qarvel$' 2>/dev/null; }
visible_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
only_window_named() {
    local ids
    ids=$(visible_windows)
    [ "$(echo "$ids" | grep -c .)" = 1 ] && [ "$(xdotool getwindowname "$ids")" = "$1" ]
}
running() { kill -0 "$qarvel_pid" 2>/dev/null; }
# A menu of the program open beside its window.
menu_open() { [ "$(visible_windows | grep -c .)" -ge 2 ]; }
ended() { ! running; }

# start <run name> <working folder> [argument...]: the program as a user starts it.
start() {
    run=$1
    dump="$scratch/$run.dump"
    log="$scratch/$run.log"
    local folder=$2
    shift 2
    (cd "$folder" && exec env QARVEL_TEST_DUMP="$dump" "$qarvel" "$@") >"$log" 2>&1 &
    qarvel_pid=$!
}

# expect_exit: the program ends by itself, with status 0.
expect_exit() {
    wait_for 5 ended || fail "the program did not end"
    wait "$qarvel_pid"
    local status=$?
    qarvel_pid=""
    [ $status -eq 0 ] || fail "exit status $status"
}

# The login window alone on screen; sets `login`.
await_login() {
    wait_for 20 only_window_named 考生进入 || fail "the login window is not alone on screen"
    login=$(visible_named '^考生进入$')
    wait_for 5 dump_says windows Form2 || fail "windows: $(value windows)"
}

# Button1 "开始考试" at 152,256 (89 x 25) and Button2 "退出" at 304,256 (75 x 25).
click_start() { xdotool mousemove --window "$login" 196 268 click 1; }
click_exit() { xdotool mousemove --window "$login" 341 268 click 1; }

# The exam window on screen, alone, active and focused; sets `exam`.
await_exam() {
    wait_for 10 only_window_named Qarvel || fail "the exam window is not alone on screen"
    exam=$(visible_named '^Qarvel$')
    wait_for 5 dump_says windows Form1 || fail "windows: $(value windows)"
    wait_for 5 dump_says active Form1 || fail "the exam window is not active"
    wait_for 5 sh -c "[ \"\$(xdotool getwindowfocus)\" = $exam ]" ||
        fail "the exam window has no keyboard focus"
}

# sign_in <name>: the login with a name and the default duration, then the exam window.
sign_in() {
    await_login
    xdotool type --delay 20 "$1"
    wait_for 5 dump_says Form2.Edit1 "$1" || fail "name field: $(value Form2.Edit1)"
    click_start
    await_exam
}

# login <name> <number>: the login with a name and a number, then the exam window.
login() {
    await_login
    xdotool type --delay 20 "$1"
    xdotool key Return
    xdotool type --delay 20 "$2"
    wait_for 5 dump_says Form2.Edit2 "$2" || fail "number field: $(value Form2.Edit2)"
    click_start
    await_exam
}

# Gives the answer box (Memo1 at 16,296 in Panel1 at 11,33) the focus.
focus_answer() {
    xdotool mousemove --window "$exam" 300 400 click 1
    wait_for 5 dump_says focus Memo1 || fail "the answer box did not take the focus"
}

# type_answer <text>: types plain text into the answer box.
type_answer() {
    focus_answer
    xdotool type --delay 20 "$1"
    wait_for 5 dump_says answer "$1" || fail "answer: $(value answer)"
}

# type_text <text>: Chinese text typed as key events carrying the characters,
# one at a time: xdotool maps each to a spare key code first, and now and then
# the key arrives before the new mapping and is lost; it is typed again then.
type_text() {
    focus_answer
    local answer i try
    answer=$(value answer)
    for ((i = 0; i < ${#1}; i++)); do
        answer+=${1:i:1}
        for try in 1 2 3; do
            xdotool type --delay 40 "${1:i:1}"
            wait_for 3 dump_says answer "$answer" && break
        done
        dump_says answer "$answer" || fail "answer: $(value answer)"
    done
}

# The close picture: Image1 at 24,3 in Panel3 at 854,6 of the title strip.
# answer_ok: 确定 on a question, whose default is 取消: Tab to 确定, then Enter.
answer_ok() {
    xdotool key Tab
    xdotool key Return
}
click_close_picture() {
    xdotool mousemove --window "$exam" 888 16 click 1
    wait_for 5 sh -c "xdotool search --onlyvisible --name '^提示\$' >/dev/null" ||
        fail "no close question"
}
# close_exam: the close picture, 确定, and the program ends.
close_exam() {
    click_close_picture
    answer_ok
    expect_exit
}

# begin_fcitx5_test <name> <qarvel> <artifacts> <tool...>: the common start of a
# test that runs inside with-fcitx5.sh: checks the sandbox and the tools (77,
# skipped, when one is missing), makes `scratch`, and ends the program and
# removes `scratch` on exit.
begin_fcitx5_test() {
    shot_prefix=$1
    qarvel=$(realpath "$2")
    artifacts=$(realpath -m "$3")
    shift 3
    mkdir -p "$artifacts"
    [ -n "${QARVEL_FCITX5_SANDBOX:-}" ] || { echo "run me inside with-fcitx5.sh" >&2; exit 2; }
    local tool
    for tool in xdotool import iconv "$@"; do
        command -v "$tool" >/dev/null || { echo "$tool not installed, skipping" >&2; exit 77; }
    done
    # The real window system of the sandbox, whatever the caller's environment says.
    export QT_QPA_PLATFORM=xcb
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/qarvel-$shot_prefix.XXXXXX")
    trap 'qarvel_stop; wait 2>/dev/null; rm -rf "$scratch"' EXIT
}

# write_source <folder> <text>: the folder's vexo/2.txt, the text in GBK.
write_source() {
    mkdir -p "$1/vexo"
    printf '%s' "$2" | iconv -f UTF-8 -t GBK >"$1/vexo/2.txt"
}
