#!/usr/bin/env bash
# results-trust.sh <qarvel> <qarvel-results> <artifacts>
#
# Records a teacher can trust, from the real program in an Xvfb display of its
# own (lib/sandbox.sh), each run a fresh process:
#   1. an exam typed and closed: qarvel-results --json --source verifies it;
#      the record edited (score, counts, state): not verified;
#   2. typed by xdotool (XTest) at 100 characters a second: implausible-speed;
#   3. a crash while paused: the record goes stale (its last update put back
#      two minutes, as if the minute had passed);
#   4. kill -9 while a write is under way (held at its fsync by strace): the
#      temporary file left behind goes with the next start's first write;
#   5. a drop-box folder (3733) where the record's old predictable names were
#      made beforehand as files and links: the genuine record arrives beside
#      them, and they and the file a link points to stay as they were;
#   6. the same with three users (as root only): a teacher who owns the drop
#      box, an examinee who fills it with forged records and links first, and
#      the examinee whose genuine record arrives, verifies, and cannot be
#      replaced by the other; the forged ones are flagged.
set -uo pipefail

if [ $# -ne 3 ]; then
    echo "usage: $0 <qarvel> <qarvel-results> <artifacts>" >&2
    exit 2
fi
qarvel=$(realpath "$1")
tool=$(realpath "$2")
artifacts=$(realpath -m "$3")
mkdir -p "$artifacts"

. "$(dirname "$0")/lib/sandbox.sh"
sandbox_name=results-trust
sandbox_require xdotool import jq strace
sandbox_begin results-trust
export QT_QPA_PLATFORM=xcb
unset QT_IM_MODULE XMODIFIERS
export XDG_CONFIG_DIRS="$sandbox/xdg"
export XDG_STATE_HOME="$sandbox/state"
mkdir -p "$XDG_CONFIG_DIRS"

scratch=$sandbox
shot_prefix=results-trust
. "$(dirname "$0")/lib/qarvel.sh"
trap 'qarvel_stop; sandbox_cleanup' EXIT

exam_folder="$sandbox/exam"
write_source "$exam_folder" '春眠不觉晓夜来风雨声'
source_file="$exam_folder/vexo/2.txt"

records() { find "$1" -maxdepth 1 -type f -name '*.json' ! -name '.*' 2>/dev/null; }
has_records() { records "$1" | grep -q .; }
field() { jq -r "$2" "$(records "$1" | head -n 1)" 2>/dev/null; }
field_is() { [ "$(field "$1" "$2")" = "$3" ]; }
temporaries() { find "$1" -maxdepth 1 -name '.*.tmp' 2>/dev/null | grep -q .; }
no_temporaries() { ! temporaries "$1"; }
# check <folder> <jq test on the tool's array>: qarvel-results --json --source agrees.
check() {
    "$tool" --json --source "$source_file" "$1" >"$sandbox/check.json" 2>"$sandbox/check.log" ||
        fail "qarvel-results: $(cat "$sandbox/check.log")"
    jq -e "$2" "$sandbox/check.json" >/dev/null || fail "not $2: $(cat "$sandbox/check.json")"
}

pause() {
    xdotool mousemove --window "$exam" 796 49 click 1
    wait_for 3 field_is "$1" .state paused || fail "state after pause: $(field "$1" .state)"
}

# ---- 1. A genuine record verifies; an edited one does not ---------------------------
folder="$sandbox/genuine"
mkdir -p "$folder"
start genuine "$exam_folder" --results "$folder"
login 'Li Lei' 20240917
type_text 春眠不
pause "$folder"
sleep 1.5
xdotool mousemove --window "$exam" 860 49 click 1
wait_for 3 field_is "$folder" .state running || fail "state after continue"
type_text 觉晓
sleep 2.5
close_exam
field_is "$folder" .schema 2 || fail "schema $(field "$folder" .schema)"
check "$folder" '.[0].verified == "yes" and .[0].flags == [] and .[0].number == "20240917"'
record=$(records "$folder")
echo "run 1: record $(stat -c %s "$record") bytes, $(jq -r '.log.events | length' "$record") characters of events"
jq '.score = 100 | .correct.hanzi = 10 | .state = "complete"' "$record" >"$sandbox/edited.json"
cp "$sandbox/edited.json" "$record"
check "$folder" '.[0].verified == "no" and (.[0].flags | index("not-verified"))'
"$tool" --source "$source_file" "$folder" >"$sandbox/table.txt" 2>/dev/null
grep -q '核验不符' "$sandbox/table.txt" || fail "table: $(cat "$sandbox/table.txt")"

# ---- 2. Typed by a program -----------------------------------------------------------
folder="$sandbox/fast"
mkdir -p "$folder"
start fast "$exam_folder" --results "$folder"
login 'Fast' 3
focus_answer
xdotool type --delay 10 "$(printf 'abcdefghij%.0s' $(seq 30))"
wait_for 5 sh -c "[ \$(sed -n 's/^answer=//p' '$dump' | wc -c) -gt 200 ]" ||
    fail "answer: $(value answer)"
close_exam
check "$folder" '.[0].flags | index("implausible-speed")'

# ---- 3. A crash while paused ---------------------------------------------------------
folder="$sandbox/paused"
mkdir -p "$folder"
start paused "$exam_folder" --results "$folder"
login 'Zhou' 4
type_text 春
pause "$folder"
kill -9 "$qarvel_pid"
wait "$qarvel_pid" 2>/dev/null
qarvel_pid=""
record=$(records "$folder")
jq --arg t "$(date -d '-2 minutes' --iso-8601=seconds)" '.updated = $t' "$record" >"$sandbox/old.json"
cp "$sandbox/old.json" "$record"
check "$folder" '.[0].state == "paused" and (.[0].flags | index("stale"))'
"$tool" "$folder" >"$sandbox/table.txt" 2>/dev/null
grep -q '失联' "$sandbox/table.txt" || fail "table: $(cat "$sandbox/table.txt")"

# ---- 4. kill -9 while writing -----------------------------------------------------------
folder="$sandbox/killed"
mkdir -p "$folder"
run=killed
dump="$sandbox/killed.dump"
log="$sandbox/killed.log"
# Every fsync waits 5 s: the first record's temporary file is caught half-way.
(cd "$exam_folder" && exec env QARVEL_TEST_DUMP="$dump" strace -f -qq -o /dev/null \
    -e trace=fsync -e inject=fsync:delay_enter=5000000 "$qarvel" --results "$folder") \
    >"$log" 2>&1 &
tracer=$!
await_login
xdotool type --delay 20 'Kill'
xdotool key Return # with records kept, the number is required
xdotool type --delay 20 5
click_start
wait_for 10 temporaries "$folder" || fail "no write under way: $(ls -A "$folder")"
program=$(ps --ppid "$tracer" -o pid= | tr -d ' ')
[ -n "$program" ] || fail "no program under strace"
kill -9 "$program"
wait "$tracer" 2>/dev/null
temporaries "$folder" || fail "the killed write left nothing to clean: $(ls -A "$folder")"
start after "$exam_folder" --results "$folder"
login 'Kill' 5
wait_for 10 has_records "$folder" || fail "no record after the restart"
wait_for 5 no_temporaries "$folder" || fail "left behind: $(ls -A "$folder")"
close_exam

# ---- 5. Names taken beforehand in a drop box ---------------------------------------------
folder="$sandbox/dropbox"
install -d -m 3733 "$folder"
victim="$sandbox/victim"
echo 'not a record' >"$victim"
host=$(hostname | tr -c '[:alnum:]\n' '-')
offset=$(date +%z)
for s in $(seq 0 30); do
    stamp=$(date -d "+$s seconds" +%Y%m%dT%H%M%S)
    ln -s "$victim" "$folder/6_Sun_${stamp}${offset}_${host}.json"
    echo forged >"$folder/6_Sun_${stamp}${offset}_${host}_0.json"
done
taken=$(ls -A "$folder" | wc -l)
start dropbox "$exam_folder" --results "$folder"
login 'Sun' 6
type_text 春
close_exam
[ "$(cat "$victim")" = 'not a record' ] || fail "the linked file was written: $(cat "$victim")"
genuine=$(find "$folder" -maxdepth 1 -type f -name '6_Sun_*.json' -newer "$victim" ! -name '*_0.json')
[ "$(echo "$genuine" | grep -c .)" = 1 ] || fail "genuine records: $genuine"
[ "$(jq -r .answer "$genuine")" = 春 ] || fail "the genuine record: $(cat "$genuine")"
[ "$(ls -A "$folder" | wc -l)" = $((taken + 1)) ] || fail "files: $(ls -A "$folder")"
grep -L forged "$folder"/*_0.json | grep -q . && fail "a file made beforehand was changed"

# ---- 6. Three users and a drop box ------------------------------------------------------
if [ "$(id -u)" != 0 ] || ! command -v setpriv >/dev/null; then
    echo "run 6 needs root and setpriv: skipped" >&2
    echo "all runs passed"
    exit 0
fi
teacher=61001
forger=61002
examinee=61003
as() { local who=$1; shift; setpriv --reuid="$who" --regid="$who" --clear-groups "$@"; }
chmod 755 "$sandbox"
chmod -R a+rX "$exam_folder"
folder="$sandbox/room"
install -d -o $teacher -g $teacher -m 3733 "$folder"
home="$sandbox/examinee"
install -d -o $examinee -g $examinee -m 700 "$home"
# The forger makes whatever names it likes first: none is the genuine record's.
as $forger sh -c "for s in \$(seq 0 40); do
    stamp=\$(date -d \"+\$s seconds\" +%Y%m%dT%H%M%S)
    printf '{\"schema\": 1, \"number\": \"7\", \"name\": \"Qian\", \"score\": 100}' \
        >\"$folder/7_Qian_\${stamp}${offset}_${host}.json\"
    ln -s /dev/null \"$folder/7_Qian_\${stamp}${offset}_${host}_x.json\"
done; chmod 644 '$folder'/*.json 2>/dev/null; true"
run=room
dump="$home/room.dump"
log="$sandbox/room.log"
(cd "$exam_folder" && exec setpriv --reuid=$examinee --regid=$examinee --clear-groups \
    env HOME="$home" XDG_STATE_HOME="$home/state" QARVEL_TEST_DUMP="$dump" \
    "$qarvel" --results "$folder") >"$log" 2>&1 &
qarvel_pid=$!
login 'Qian' 7
type_text 春眠
close_exam
mine=$(find "$folder" -maxdepth 1 -type f -user $examinee -name '*.json')
[ "$(echo "$mine" | grep -c .)" = 1 ] || fail "the examinee's records: $mine"
[ "$(stat -c %a:%g "$mine")" = 640:$teacher ] || fail "record mode: $(stat -c %a:%g "$mine")"
# The forger can neither replace nor remove it, nor read it.
echo '{}' >"$sandbox/forged.json"
chmod 644 "$sandbox/forged.json"
as $forger mv -f "$sandbox/forged.json" "$mine" 2>/dev/null && fail "the forger replaced the record"
as $forger rm -f "$mine" 2>/dev/null
[ -f "$mine" ] || fail "the forger removed the record"
as $forger cat "$mine" >/dev/null 2>&1 && fail "the forger read the record"
# The teacher's check: the genuine record verified, the forged ones flagged.
# Status 3: the forger's links are files that are not records, each a row of its own.
as $teacher "$tool" --json --source "$source_file" "$folder" >"$sandbox/room.json" 2>/dev/null
[ $? = 3 ] || fail "the teacher's check failed"
jq -e 'map(select(.flags == ["unreadable"])) | length == 41' "$sandbox/room.json" >/dev/null ||
    fail "the forger's links: $(jq -c 'map([.file, .flags])' "$sandbox/room.json")"
jq -e --arg f "$(basename "$mine")" \
    'map(select(.file == $f))[0] | .verified == "yes" and .flags == ["duplicate-number"]' \
    "$sandbox/room.json" >/dev/null || fail "the genuine record: $(jq -c --arg f "$(basename "$mine")" 'map(select(.file == $f))' "$sandbox/room.json")"
jq -e 'map(select(.verified == "no" and .unreadable == null)) | length == 41 and
       all(.flags | index("not-verified") and index("no-events"))' "$sandbox/room.json" \
    >/dev/null || fail "the forged records: $(jq -c 'map([.file, .verified, .flags])' "$sandbox/room.json")"
echo "all runs passed"
