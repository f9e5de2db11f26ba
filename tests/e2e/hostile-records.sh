#!/usr/bin/env bash
# hostile-records.sh <qarvel> <qarvel-results> <artifacts>
#
# A drop box with three real exams (taken in the real program under the
# lib/sandbox.sh display) and what a hostile examinee can plant beside them:
# x.json -> /dev/zero, y.json -> /dev/stdin, a record whose source path is a
# FIFO, one whose source path is /dev/zero, one whose name holds U+FFFE, and a
# file that is not JSON. qarvel-results on the folder, each run within 20 s and
# under 1 GB: the table, the CSV, --json, the workbook (read back by
# LibreOffice) and the HTML page (opened in headless Chromium) each have every
# student's row, the planted files theirs with why, and the exit status says
# some files could not be read.
# Skipped (77) when Xvfb, xdotool, jq, chromium, LibreOffice or GNU time is missing.
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
sandbox_name=hostile-records
sandbox_require xdotool jq chromium soffice /usr/bin/time
sandbox_begin hostile-records
export QT_QPA_PLATFORM=xcb
unset QT_IM_MODULE XMODIFIERS
export XDG_CONFIG_DIRS="$sandbox/xdg"
export XDG_STATE_HOME="$sandbox/state"
mkdir -p "$XDG_CONFIG_DIRS"

scratch=$sandbox
shot_prefix=hostile-records
. "$(dirname "$0")/lib/qarvel.sh"
trap 'qarvel_stop; sandbox_cleanup' EXIT

exam_folder="$sandbox/exam"
write_source "$exam_folder" '春眠不觉晓处处闻啼鸟'
source_file="$exam_folder/vexo/2.txt"
folder="$sandbox/results"
mkdir -p "$folder"

# ---- Three real exams --------------------------------------------------------------
start first "$exam_folder" --results "$folder"
login 'Li Lei' 01
type_text 春眠不觉晓
close_exam
start second "$exam_folder" --results "$folder"
login 'Han Meimei' 2
type_text 春眠不
close_exam
start third "$exam_folder" --results "$folder"
login 'Wang Fang' 003
type_text 春眠布觉
close_exam
genuine=("$folder"/*.json)
[ ${#genuine[@]} = 3 ] || fail "records: $(ls -A "$folder")"
run=tool

# ---- What is planted ---------------------------------------------------------------
mkfifo "$sandbox/fifo"
plant() { # FILE JQ-FILTER: a copy of the first record, changed
    jq "$2" "${genuine[0]}" >"$folder/$1" || fail "jq $2"
}
plant fifo.json ".source.path = \"$sandbox/fifo\" | .number = \"90000004\""
plant zero.json '.source.path = "/dev/zero" | .number = "90000003"'
plant fffe.json ".number = \"90000005\" | .name = \"李"$'\uFFFE'"雷\""
grep -q $'\uFFFE' "$folder/fffe.json" || fail "jq lost U+FFFE"
ln -s /dev/zero "$folder/x.json"
ln -s /dev/stdin "$folder/y.json"
echo '{' >"$folder/b.json"
rows=9 # three exams, three planted records, three files that are not records

# Each run: within 20 s, under 1 GB, status 3 (some files are not records).
results() { # OUTPUT OPTION...
    local out=$1
    shift
    (cd "$sandbox" && timeout -s KILL 20 /usr/bin/time -f '%M' -o "$sandbox/peak.txt" \
        "$tool" "$@" "$folder" >"$out" 2>"$sandbox/tool.log")
    local status=$?
    [ $status = 3 ] || fail "qarvel-results $*: status $status: $(cat "$sandbox/tool.log")"
    local peak
    peak=$(tail -n 1 "$sandbox/peak.txt")
    [ "$peak" -lt 1048576 ] || fail "qarvel-results $*: $peak kB"
}

# ---- Table, CSV, --json --------------------------------------------------------------
results "$sandbox/table.txt"
[ "$(grep -c . "$sandbox/table.txt")" = $((rows + 2)) ] || fail "table: $(cat "$sandbox/table.txt")"
for who in '^01 *Li Lei' '^2 *Han Meimei' '^003 *Wang Fang' 'x.json：不是普通文件（符号链接）' \
    'y.json：不是普通文件（符号链接）' 'b.json：不是成绩记录' '^90000003' '^90000004' '^90000005'; do
    grep -q "$who" "$sandbox/table.txt" || fail "no row $who: $(cat "$sandbox/table.txt")"
done
grep -q 'y.json' "$sandbox/tool.log" || fail "stderr does not name y.json: $(cat "$sandbox/tool.log")"
csv="$sandbox/qarvel-results.csv"
[ "$(grep -c . "$csv")" = $((rows + 1)) ] || fail "CSV: $(cat "$csv")"
grep -q '^"003",Wang Fang,' "$csv" || fail "CSV: $(cat "$csv")"
results "$sandbox/rows.json" --json
jq -e "length == $rows" "$sandbox/rows.json" >/dev/null || fail "--json: $(cat "$sandbox/rows.json")"
jq -e '[.[] | select(.flags == ["unreadable"] and .unreadable != null) | .file] | sort
    == ["b.json", "x.json", "y.json"]' "$sandbox/rows.json" >/dev/null || fail "--json unreadable"
jq -e '[.[] | select(.number == "90000005") | .flags | index("number-format")] | .[0] != null' \
    "$sandbox/rows.json" >/dev/null || fail "--json: U+FFFE not flagged"
jq -e '[.[] | select(.number == "01" or .number == "2" or .number == "003") | .duration]
    == ["00:30:00", "00:30:00", "00:30:00"]' "$sandbox/rows.json" >/dev/null || fail "durations"
results "$sandbox/given.json" --json --source "$source_file"
jq -e "length == $rows" "$sandbox/given.json" >/dev/null || fail "--json --source"
jq -e '.[] | select(.number == "003") | .verified == "yes"' "$sandbox/given.json" >/dev/null ||
    fail "the real exam 003 is not verified: $(cat "$sandbox/given.json")"

# ---- The HTML page and the workbook ------------------------------------------------------
html="$sandbox/report.html"
book="$sandbox/book.xlsx"
results /dev/null --html "$html" --xlsx "$book"
browser() {
    timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$(mktemp -d "$sandbox/chromium.XXXXXX")" "$@" 2>>"$sandbox/chromium.log"
}
browser --dump-dom "file://$html" >"$sandbox/dom.html" || fail "chromium: $(tail "$sandbox/chromium.log")"
[ "$(grep -o '<tr' "$sandbox/dom.html" | grep -c .)" = $((rows + 1)) ] ||
    fail "rows in the page: $(grep -o '<tr.*' "$sandbox/dom.html")"
grep -q '李&lt;U+FFFE&gt;雷' "$sandbox/dom.html" || fail "U+FFFE is not shown escaped in the page"
grep -q 'Wang Fang' "$sandbox/dom.html" || fail "the page lost Wang Fang"
mkdir -p "$sandbox/calc"
timeout 120 soffice -env:UserInstallation="file://$sandbox/lo" --headless \
    --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76' --outdir "$sandbox/calc" "$book" \
    >"$sandbox/soffice.log" 2>&1 || fail "LibreOffice: $(cat "$sandbox/soffice.log")"
sheet="$sandbox/calc/book.csv"
[ "$(grep -c . "$sheet")" = $((rows + 1)) ] || fail "workbook rows: $(cat "$sheet")"
for who in '^[0-9]*,01,Li Lei,' '^[0-9]*,2,Han Meimei,' '^[0-9]*,003,Wang Fang,' '^[0-9]*,90000005,李<U+FFFE>雷,' 'x.json'; do
    grep -q "$who" "$sheet" || fail "workbook: no $who: $(cat "$sheet")"
done
cp "$sheet" "$artifacts/hostile-records-workbook.csv"
echo PASS
