#!/usr/bin/env bash
# results.sh <qarvel> <qarvel-results> <artifacts> [close-window tool]
#
# Results records from the real program, in an Xvfb display of its own
# (lib/sandbox.sh), each run a fresh process:
#   1. --results on a local folder: a record right after the login, updated
#      while the exam runs, at pause and continue, at completion with the
#      score on screen, and after the confirmed close; qarvel-results reads it;
#   2. kill -9 mid-exam leaves a whole record at most 10 s old; time up goes
#      out at once;
#   3. a read-only folder: a notice on a line of the exam window (no box: the
#      focus stays and no key is lost), the exam goes on, nothing in the
#      folder; the record arrives once the folder is writable;
#   4. a full file system: the same, and a record kept locally when the
#      program ends arrives at the next start;
#   5. the administrator's setting (in the system configuration folder the
#      program was built for, laid over by a private mount namespace) wins over
#      the command line and over $XDG_CONFIG_DIRS; SIGTERM and SIGHUP (log-out,
#      shutdown) end the program with a last record;
#   6. without the option and the setting, strace sees no file written.
# With the close-window tool, run 3 ends by a close of the desktop's.
# Runs 3 and 4 mount small tmpfs folders and run 5 needs a private mount
# namespace: where that cannot be done, that run alone is skipped (and named).
# Leaves screenshots in <artifacts>/results-*.png.
set -uo pipefail

if [ $# -lt 3 ] || [ $# -gt 4 ]; then
    echo "usage: $0 <qarvel> <qarvel-results> <artifacts> [close-window]" >&2
    exit 2
fi
qarvel=$(realpath "$1")
tool=$(realpath "$2")
artifacts=$(realpath -m "$3")
close_window=${4:+$(realpath "$4")}
mkdir -p "$artifacts"

. "$(dirname "$0")/lib/sandbox.sh"
sandbox_name=results
sandbox_require xdotool import jq iconv sha256sum strace
sandbox_begin results
export QT_QPA_PLATFORM=xcb
unset QT_IM_MODULE XMODIFIERS
# No administrator's setting but the test's own.
export XDG_CONFIG_DIRS="$sandbox/xdg"
export XDG_STATE_HOME="$sandbox/state"
mkdir -p "$XDG_CONFIG_DIRS"

scratch=$sandbox
shot_prefix=results
. "$(dirname "$0")/lib/qarvel.sh"

mounts=()
cleanup() {
    qarvel_stop
    local m
    for m in "${mounts[@]}"; do umount "$m" 2>/dev/null; done
    sandbox_cleanup
}
trap cleanup EXIT

exam_folder="$sandbox/exam"
source_text='春眠不觉晓夜来风雨声'
write_source "$exam_folder" "$source_text"
spool="$XDG_STATE_HOME/qarvel/results"

# The records of a folder (hidden files are writes under way).
records() { find "$1" -maxdepth 1 -type f -name '*.json' ! -name '.*' 2>/dev/null; }
record_count() { records "$1" | grep -c .; }
has_records() { [ "$(record_count "$1")" -ge 1 ]; }
# field <folder> <jq filter>: from the folder's one record.
field() { jq -r "$2" "$(records "$1" | head -n 1)" 2>/dev/null; }
field_is() { [ "$(field "$1" "$2")" = "$3" ]; }
# Nothing but the given names in a folder: no record, no temporary file.
only_files() {
    local folder=$1
    shift
    [ "$(ls -A "$folder" | sort | paste -sd' ')" = "$*" ]
}

# skip <what>: a run that cannot be done here is left out and named; the rest runs.
skipped=()
skip() {
    echo "skipped: $1" >&2
    skipped+=("$1")
}

message_shown() { value windows | grep -q QMessageBox; }
no_message() { ! message_shown; }

# ---- 1. A record from the login to the close ---------------------------------
folder="$sandbox/results"
mkdir -p "$folder"
start record "$exam_folder" --results "$folder"
login 'Li Lei' 20240917
wait_for 3 has_records "$folder" || fail "no record right after the login"
[ "$(record_count "$folder")" = 1 ] || fail "records: $(ls -A "$folder")"
name=$(basename "$(records "$folder")")
[[ "$name" =~ ^20240917_Li-Lei_[0-9]{8}T[0-9]{6}[+-][0-9]{4}_.+\.json$ ]] || fail "record name: $name"
sha=$(sha256sum "$exam_folder/vexo/2.txt" | cut -d' ' -f1)
for check in ".schema=2" ".name=Li Lei" ".number=20240917" ".state=running" \
    ".duration=00:30:00" ".remaining=00:30:00" ".source.sha256=$sha" \
    ".source.path=$exam_folder/vexo/2.txt" ".source.hanzi=$(value Label6)" \
    ".source.total=$(value Label2)" ".source.ascii=$(value Label4)" ".changes=0" \
    ".answer=" ".user=$(id -un)"; do
    field_is "$folder" "${check%%=*}" "${check#*=}" ||
        fail "first record: ${check%%=*} is '$(field "$folder" "${check%%=*}")', not '${check#*=}'"
done
import -window root "$artifacts/results-exam.png"

type_text 春眠不觉晓
# The next regular update carries the answer, the score and the clock.
wait_for 11 field_is "$folder" .answer 春眠不觉晓 || fail "no update: $(cat "$(records "$folder")")"
field_is "$folder" .score "$(value Label12)" || fail "score $(field "$folder" .score) != $(value Label12)"
field_is "$folder" .correct.hanzi 5 || fail "correct: $(field "$folder" .correct.hanzi)"
[ "$(field "$folder" .elapsed)" != 00:00:00 ] || fail "the elapsed time was not updated"

# Pause and continue go out at once.
xdotool mousemove --window "$exam" 796 49 click 1
wait_for 3 field_is "$folder" .state paused || fail "state after pause: $(field "$folder" .state)"
sleep 2
xdotool mousemove --window "$exam" 860 49 click 1
wait_for 3 field_is "$folder" .state running || fail "state after continue: $(field "$folder" .state)"
field_is "$folder" .pauses.count 1 || fail "pauses: $(field "$folder" .pauses.count)"
[ "$(field "$folder" .pauses.seconds)" -ge 1 ] || fail "pause length: $(field "$folder" .pauses.seconds)"

# Completion goes out at once, with the score on screen.
type_text 夜来风雨声
wait_for 5 dump_says answerEnabled 0 || fail "the exam did not complete"
wait_for 3 field_is "$folder" .state complete || fail "state at completion: $(field "$folder" .state)"
score=$(value Label12)
field_is "$folder" .score "$score" || fail "final score $(field "$folder" .score) != $score"
close_exam
field_is "$folder" .state complete || fail "state after the close: $(field "$folder" .state)"
field_is "$folder" .score "$score" || fail "score after the close: $(field "$folder" .score)"
[ "$(record_count "$folder")" = 1 ] && only_files "$folder" "$name" || fail "files: $(ls -A "$folder")"

# The merge tool: the row, and the CSV with its byte-order mark.
(cd "$sandbox" && "$tool" "$folder") >"$sandbox/table.txt" 2>"$sandbox/tool.log" ||
    fail "qarvel-results: $(cat "$sandbox/tool.log")"
grep -q "^20240917 *Li Lei *完成 *$score " "$sandbox/table.txt" || fail "table: $(cat "$sandbox/table.txt")"
head -c 3 "$sandbox/qarvel-results.csv" | od -An -tx1 | grep -q 'ef bb bf' || fail "no BOM in the CSV"
grep -q "^\"20240917\",Li Lei,完成,$score," "$sandbox/qarvel-results.csv" || fail "CSV: $(cat "$sandbox/qarvel-results.csv")"
echo "run 1: record $(stat -c %s "$folder/$name") bytes"

# ---- 2. kill -9 ------------------------------------------------------------------
folder="$sandbox/kill"
mkdir -p "$folder"
start kill "$exam_folder" --results "$folder"
login 'Wang' 2
type_text 春眠
sleep $((10 + RANDOM % 6))
killed=$(date +%s)
kill -9 "$qarvel_pid"
wait "$qarvel_pid" 2>/dev/null
qarvel_pid=""
[ "$(record_count "$folder")" = 1 ] || fail "records after kill -9: $(ls -A "$folder")"
jq -e . "$(records "$folder")" >/dev/null || fail "the record does not parse: $(cat "$(records "$folder")")"
age=$((killed - $(date -d "$(field "$folder" .updated)" +%s)))
[ "$age" -le 10 ] || fail "the record was $age s old at kill -9"
field_is "$folder" .answer 春眠 || fail "answer in the record: $(field "$folder" .answer)"
echo "run 2: the record was $age s old at kill -9"

# ---- Time up goes out at once ------------------------------------------------------
folder="$sandbox/timeup"
mkdir -p "$folder"
start timeup "$exam_folder" --results "$folder"
await_login
xdotool type --delay 20 'Li'
xdotool key Return # with records kept, the number is required
xdotool type --delay 20 8
# The duration field (Edit3 at 224,200, 129 x 27) emptied and typed anew.
xdotool mousemove --window "$login" 340 213 click 1
xdotool key End
for _ in $(seq 8); do xdotool key BackSpace; done
xdotool type --delay 20 '0:00:03'
wait_for 5 dump_says Form2.Edit3 0:00:03 || fail "duration field: $(value Form2.Edit3)"
click_start
await_exam
type_text 春
wait_for 6 dump_says answerReadOnly 1 || fail "time was not up: $(value Label14)"
wait_for 2 field_is "$folder" .state 'time up' || fail "state at time up: $(field "$folder" .state)"
field_is "$folder" .duration 0:00:03 || fail "duration: $(field "$folder" .duration)"
close_exam
field_is "$folder" .state 'time up' || fail "state after the close: $(field "$folder" .state)"

# ---- 5. The administrator's setting wins ----------------------------------------
admin_setting_section() {
    # A user's own folder of settings, named by the environment: never read.
    printf '[General]\nResultsFolder=%s\n' "$other" >"$XDG_CONFIG_DIRS/qarvel/qarvel.conf"
    # The program in a mount namespace of its own, where a tmpfs over the system's
    # configuration folder (or its nearest existing parent) holds the setting.
    admin_conf=${QARVEL_ADMIN_SETTING:-/etc/xdg/qarvel/qarvel.conf}
    real_qarvel=$qarvel
    qarvel="$sandbox/qarvel-admin"
    cat >"$qarvel" <<WRAPPER
#!/bin/sh
exec unshare -m sh -c '
    conf=\$1; shift
    top=\$(dirname "\$conf")
    while [ ! -d "\$top" ]; do top=\$(dirname "\$top"); done
    mount -t tmpfs -o size=1m tmpfs "\$top" || exit 77
    mkdir -p "\$(dirname "\$conf")" &&
        printf "[General]\\nResultsFolder=%s\\n" "$admin" >"\$conf" && exec "\$@"' \
    sh "$admin_conf" "$real_qarvel" "\$@"
WRAPPER
    chmod +x "$qarvel"
    start admin "$exam_folder" --results "$other"
    if wait_for 2 ended; then
        qarvel_pid=""
        qarvel=$real_qarvel
        skip "the administrator's setting (no private mount namespace here)"
        return
    fi
    login 'Zhao' 5
    wait_for 3 has_records "$admin" || fail "no record in the administrator's folder"
    type_text 春
    # Log-out and shutdown end the program by SIGTERM or SIGHUP: the last record goes out.
    kill -TERM "$qarvel_pid"
    expect_exit
    field_is "$admin" .state closed || fail "state after SIGTERM: $(field "$admin" .state)"
    field_is "$admin" .answer 春 || fail "answer after SIGTERM: $(field "$admin" .answer)"
    only_files "$other" "" || fail "the command line's folder got $(ls -A "$other")"
    qarvel=$real_qarvel
    rm "$(records "$admin")"
}
admin="$sandbox/admin"
other="$sandbox/other"
mkdir -p "$admin" "$other" "$XDG_CONFIG_DIRS/qarvel"
admin_setting_section
rm -f "$XDG_CONFIG_DIRS/qarvel/qarvel.conf"
start hangup "$exam_folder" --results "$admin"
login 'Zhao' 5
xdotool mousemove --window "$exam" 796 49 click 1
wait_for 3 field_is "$admin" .state paused || fail "state after pause: $(field "$admin" .state)"
kill -HUP "$qarvel_pid"
expect_exit
field_is "$admin" .state closed || fail "state after SIGHUP: $(field "$admin" .state)"
field_is "$admin" .pauses.count 1 || fail "pauses after SIGHUP: $(field "$admin" .pauses.count)"

# ---- 6. Without the option and the setting, nothing is written --------------------
run=strace
# The test's own dump, in a folder of its own that is left out below (Qt may
# write it through an unnamed file of that folder, O_TMPFILE).
dump="$sandbox/dump/strace.dump"
mkdir -p "$sandbox/dump"
log="$sandbox/strace.log"
# A file per thread (-ff): no call split over two lines by another thread's;
# only the calls that succeeded (-z).
mkdir -p "$sandbox/strace"
(cd "$exam_folder" && exec env QARVEL_TEST_DUMP="$dump" strace -ff -z -qq -o "$sandbox/strace/out" \
    -e trace=open,openat,creat,rename,renameat,renameat2,mkdir,mkdirat,unlink,unlinkat,link,linkat,symlink,symlinkat,truncate,ftruncate \
    "$qarvel") >"$log" 2>&1 &
qarvel_pid=$!
wait_for 30 only_window_named 考生进入 || fail "no login window under strace"
login=$(visible_named '^考生进入$')
xdotool type --delay 20 'Sun'
click_start
wait_for 10 only_window_named Qarvel || fail "no exam window under strace"
exam=$(visible_named '^Qarvel$')
xdotool mousemove --window "$exam" 300 400 click 1
xdotool type --delay 20 'abc'
wait_for 5 dump_says answer abc || fail "answer under strace: $(value answer)"
click_close_picture
answer_ok
expect_exit
written=$(cat "$sandbox"/strace/out.* |
    grep -E 'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|rename|mkdir|unlink|link(at)?\(|truncate' |
    grep -v '"/dev/' | grep -vF "\"$sandbox/dump")
[ -z "$written" ] || fail "files written without results: $written"
# strace that saw no file opened at all proves nothing either way: the
# section says so and stands aside rather than failing the run.
if ! cat "$sandbox"/strace/out.* | grep -q 'openat('; then
    echo "SKIP (strace): strace saw no file opened ($(ls "$sandbox/strace" | wc -l) trace files):"
    sed 's/[[:cntrl:]]/?/g' "$log" | tail -5
fi

# Shared by sections 3 and 4.
# after_failed_write: the notice on a line of the exam window; no box comes and
# the focus stays where it was.
notice_shown() { value LabelNotice | grep -q '成绩记录无法保存'; }
after_failed_write() {
    click_start
    await_exam
    local focus
    focus=$(value focus)
    wait_for 10 notice_shown || fail "no notice about the folder: $(value LabelNotice)"
    import -window root "$artifacts/results-$run-message.png"
    no_message || fail "a message box came: $(value windows)"
    dump_says active Form1 || fail "the exam window is not active"
    dump_says focus "$focus" || fail "the focus went from $focus to $(value focus)"
}
# no_second_message <seconds>: the exam goes on without the message coming again.
no_second_message() {
    local deadline=$((SECONDS + $1))
    while [ $SECONDS -lt $deadline ]; do
        message_shown && fail "the message came again"
        sleep 0.2
    done
}
spooled() { find "$spool" -name '*.json' ! -name '.*' 2>/dev/null | grep -q .; }

# ---- 3. A read-only folder ----------------------------------------------------------
readonly_folder_section() {
    readonly_folder="$sandbox/readonly"
    mkdir -p "$readonly_folder"
    if ! mount -t tmpfs -o size=1m,mode=0777 tmpfs "$readonly_folder" 2>/dev/null; then
        skip "a read-only folder (cannot mount a tmpfs here)"
        return
    fi
    mounts+=("$readonly_folder")
    mount -o remount,ro "$readonly_folder" || fail "could not make the folder read-only"
    start readonly "$exam_folder" --results "$readonly_folder"
    await_login
    xdotool type --delay 20 'Zhou'
    xdotool key Return # with records kept, the number is required
    xdotool type --delay 20 9
    after_failed_write
    type_text 春
    spooled || fail "the record was not kept locally"
    no_second_message 10
    only_files "$readonly_folder" "" || fail "files in the read-only folder: $(ls -A "$readonly_folder")"
    mount -o remount,rw "$readonly_folder" || fail "could not make the folder writable"
    wait_for 12 has_records "$readonly_folder" || fail "the record did not arrive"
    field_is "$readonly_folder" .answer 春 || fail "answer: $(field "$readonly_folder" .answer)"
    wait_for 3 sh -c "! find '$spool' -name '*.json' | grep -q ." || fail "the local copy stayed"
    # A close by the desktop (WM_DELETE_WINDOW) writes the last record too.
    if [ -n "$close_window" ]; then
        "$close_window" "$exam" || fail "could not ask the exam window to close"
        expect_exit
    else
        close_exam
    fi
    field_is "$readonly_folder" .state closed || fail "state: $(field "$readonly_folder" .state)"
}

# ---- 4. A full file system; the record kept at the end arrives at the next start -------
full_folder_section() {
    full="$sandbox/full"
    mkdir -p "$full"
    if ! mount -t tmpfs -o size=64k,mode=0777 tmpfs "$full" 2>/dev/null; then
        skip "a full folder (cannot mount a tmpfs here)"
        return
    fi
    mounts+=("$full")
    dd if=/dev/zero of="$full/filler" bs=1k 2>/dev/null
    start full "$exam_folder" --results "$full"
    await_login
    xdotool type --delay 20 'Qian'
    xdotool key Return # with records kept, the number is required
    xdotool type --delay 20 10
    after_failed_write
    type_text 春眠不
    no_second_message 3
    close_exam
    only_files "$full" filler || fail "files in the full folder: $(ls -A "$full")"
    spooled || fail "the last record was not kept locally"
    rm "$full/filler"
    start next "$exam_folder" --results "$full"
    await_login
    wait_for 5 has_records "$full" || fail "the kept record did not arrive at the next start"
    field_is "$full" .answer 春眠不 || fail "answer: $(field "$full" .answer)"
    field_is "$full" .state closed || fail "state: $(field "$full" .state)"
    click_exit
    expect_exit
    spooled && fail "the local copy stayed"
    [ "$(record_count "$full")" = 1 ] || fail "records: $(ls -A "$full")"
}

readonly_folder_section
full_folder_section
if [ ${#skipped[@]} -gt 0 ]; then
    echo "PASS, without: ${skipped[*]}"
else
    echo PASS
fi
