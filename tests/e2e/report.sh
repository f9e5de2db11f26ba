#!/usr/bin/env bash
# report.sh <qarvel> <qarvel-results> <artifacts>
#
# The teacher's 成绩单 from real records: four exams taken in the real
# program (lib/sandbox.sh display, --results) — one typed to the end with a
# wrong character taken back and a pause, one left half-done, one with a wrong
# character kept, and the first student again, giving up early — then
# qarvel-results on the folder:
#   1. the table and the CSV carry speed, accuracy, 击键, 码长, 回改 and time
#      to completion; --sort orders the rows; --version and --help answer;
#   2. --html with a heading, a roster and a pass mark: the page opened in
#      headless Chromium, its rows read back from the rendered page, a
#      screenshot (<artifacts>/report-page.png); printed to A4 PDF
#      (<artifacts>/report.pdf): the table on page 1, the pictures after it,
#      page numbers; page 1 as a picture (<artifacts>/report-page1.png);
#   3. --xlsx: the workbook read back by LibreOffice as CSV, its cells checked
#      (a speed worked out from its seconds is the speed shown), and the cell
#      types read from the file itself.
# Skipped (77) when Xvfb, xdotool, chromium, poppler or LibreOffice is missing.
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
sandbox_name=report
sandbox_require xdotool import iconv jq chromium soffice unzip pdftotext pdftoppm
sandbox_begin report
export QT_QPA_PLATFORM=xcb
unset QT_IM_MODULE XMODIFIERS
export XDG_CONFIG_DIRS="$sandbox/xdg"
export XDG_STATE_HOME="$sandbox/state"
mkdir -p "$XDG_CONFIG_DIRS"

scratch=$sandbox
shot_prefix=report
. "$(dirname "$0")/lib/qarvel.sh"
trap 'qarvel_stop; sandbox_cleanup' EXIT

exam_folder="$sandbox/exam"
write_source "$exam_folder" '春眠不觉晓处处闻啼鸟'
source_file="$exam_folder/vexo/2.txt"
folder="$sandbox/results"
mkdir -p "$folder"

backspace() {
    local answer
    answer=$(value answer)
    xdotool key BackSpace
    wait_for 3 dump_says answer "${answer%?}" || fail "BackSpace: $(value answer)"
}
pause_for() {
    xdotool mousemove --window "$exam" 796 49 click 1
    sleep "$1"
    xdotool mousemove --window "$exam" 860 49 click 1
}

# ---- Three exams -------------------------------------------------------------------
start first "$exam_folder" --results "$folder"
login 'Li Lei' 01
type_text 春棉
backspace
type_text 眠不觉晓
pause_for 2
type_text 处处闻啼鸟
wait_for 5 dump_says answerEnabled 0 || fail "the exam did not complete"
close_exam

start second "$exam_folder" --results "$folder"
login 'Han Meimei' 2
type_text 春眠不觉
sleep 4
close_exam

start third "$exam_folder" --results "$folder"
login 'Wang Fang' 003
type_text 春眠布觉晓处
sleep 4
close_exam

start again "$exam_folder" --results "$folder"
login 'Li Lei' 01
type_text 春眠
close_exam
[ "$(find "$folder" -name '*.json' | grep -c .)" = 4 ] || fail "records: $(ls -A "$folder")"
run=tool
rm -rf "$artifacts/report-records" && cp -r "$folder" "$artifacts/report-records"

# ---- 1. Table, CSV, order, version, help -------------------------------------------------
(cd "$sandbox" && "$tool" --source "$source_file" --sort speed "$folder") >"$sandbox/table.txt" \
    2>"$sandbox/tool.log" || fail "qarvel-results: $(cat "$sandbox/tool.log")"
head -n 1 "$sandbox/table.txt" | grep -q '速度' || fail "no speed in the table: $(cat "$sandbox/table.txt")"
head -n 1 "$sandbox/table.txt" | grep -q '正确率' || fail "no accuracy in the table"
# The records carry the typing (their event logs) that speed and accuracy come from.
logged=$(jq -s 'map(select(.log.events != null and .log.events != "")) | length' "$folder"/*.json)
[ "$logged" = 4 ] || fail "records with an event log: $logged of 4"
head -n 1 "$sandbox/table.txt" | grep -q '击键 *码长 *回改 *完成用时' || fail "no typing figures in the table"
# The completed exam: 10 characters right; 12 typed (a wrong one and its
# deletion, one 回改); its time as the clock shows times.
grep -q '^01 *Li Lei *完成 *100 *[0-9.]* *83\.3% *[0-9.]* *[0-9.]* *1 *00:00:[0-9][0-9]\.[0-9] ' "$sandbox/table.txt" ||
    fail "row 01: $(cat "$sandbox/table.txt")"
csv="$sandbox/qarvel-results.csv"
head -c 3 "$csv" | od -An -tx1 | grep -q 'ef bb bf' || fail "no BOM in the CSV"
grep -q '^"01",Li Lei,完成,100,[0-9.]*,83.3%,[0-9.]*,[0-9.]*,1,00:00:[0-9][0-9]\.[0-9],' "$csv" ||
    fail "CSV: $(cat "$csv")"
grep -q '^"003",Wang Fang,' "$csv" || fail "CSV number 003: $(cat "$csv")"
# By speed: fastest first, rows without a speed last.
tail -n +2 "$csv" | cut -d, -f5 | awk 'NR > 1 && ($1 != "" && (last == "" || $1 + 0 > last + 0)) { exit 1 }
    { last = $1 }' || fail "order: $(cat "$csv")"
"$tool" --json --source "$source_file" "$folder" >"$sandbox/rows.json" 2>/dev/null ||
    fail "--json: $(cat "$sandbox/rows.json")"
jq -e '.[] | select(.number == "01" and .state == "complete") | .accuracy == 0.833 and .speed > 0
    and .completionSeconds > 0 and .examSeconds == .completionSeconds and .corrections == 1
    and .verified == "yes"' "$sandbox/rows.json" >/dev/null || fail "--json: $(cat "$sandbox/rows.json")"
"$tool" --version | grep -q '^qarvel-results 1\.' || fail "--version: $("$tool" --version)"
"$tool" --help >"$sandbox/help.txt" 2>&1
grep -q -- '--sort' "$sandbox/help.txt" && grep -q 'Sort the rows' "$sandbox/help.txt" ||
    fail "--help: $(cat "$sandbox/help.txt")"
grep -q -- '-platform\|--qmljsdebugger\|-reverse' "$sandbox/help.txt" && fail "Qt's options in --help"
"$tool" --sort fastest "$folder" >/dev/null 2>&1 && fail "--sort fastest was taken"
"$tool" --watch --rounds 1 --html "$sandbox/x.html" "$folder" >/dev/null 2>&1 && fail "--watch took --html"

# ---- 2. The 成绩单 in a browser and on paper ---------------------------------------------
# The roster: 003 is not on it, 004 took no exam.
printf '\357\273\277学号,姓名\r\n01,Li Lei\r\n2,Han Meimei\r\n004,赵六\r\n' >"$sandbox/名单.csv"
html="$sandbox/报告.html"
(cd "$sandbox" && "$tool" --source "$source_file" --html "$html" --xlsx "$sandbox/成绩.xlsx" \
    --title 期末打字考试 --school 实验中学 --class '高一（3）班' --teacher 王老师 \
    --roster "$sandbox/名单.csv" --pass 60 "$folder") >/dev/null 2>"$sandbox/tool.log" ||
    fail "--html: $(cat "$sandbox/tool.log")"
"$tool" --roster "$sandbox" --html "$sandbox/x.html" "$folder" >/dev/null 2>&1 && fail "a folder as the roster"
"$tool" --pass 101 --html "$sandbox/x.html" "$folder" >/dev/null 2>&1 && fail "--pass 101 was taken"
browser() {
    timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$(mktemp -d "$sandbox/chromium.XXXXXX")" "$@" 2>>"$sandbox/chromium.log"
}
browser --dump-dom "file://$html" >"$sandbox/dom.html" || fail "chromium: $(tail "$sandbox/chromium.log")"
# The table: 01 (its best exam), 2, 003 and the absent 004; the retake of 01 below.
[ "$(grep -o '<tr' "$sandbox/dom.html" | grep -c .)" = 7 ] || fail "rows in the page: $(cat "$sandbox/dom.html")"
grep -q '<title>实验中学 高一（3）班 期末打字考试</title>' "$sandbox/dom.html" || fail "title"
grep -q '班级：高一（3）班 · 任课教师：王老师' "$sandbox/dom.html" || fail "heading"
grep -q '<tr><td class="num">1</td><td>01</td><td>Li Lei</td><td>完成</td><td class="num">100</td>' \
    "$sandbox/dom.html" || fail "row 01: $(cat "$sandbox/dom.html")"
grep -q '<td>004</td><td>赵六</td><td>缺考</td>' "$sandbox/dom.html" || fail "no absentee"
grep -q '<td>003</td><td>Wang Fang</td><td>中途退出</td>.*不计入; 不在名单上' "$sandbox/dom.html" ||
    fail "row 003"
grep -q '<td class="fail">不及格</td>' "$sandbox/dom.html" || fail "no 不及格"
grep -q '<dt>及格</dt><dd>1（33%）</dd>' "$sandbox/dom.html" || fail "the pass rate: $(grep -o '<dl.*</dl>' "$sandbox/dom.html")"
grep -q '其他考试记录（不计入）' "$sandbox/dom.html" || fail "the retake is not listed"
grep -q '<b>眠</b>1次<span class="as">打成 棉</span>' "$sandbox/dom.html" &&
    grep -q '<b>不</b>1次<span class="as">打成 布</span>' "$sandbox/dom.html" ||
    fail "the wrong characters: $(grep -o '<ol class="wrong">.*</ol>' "$sandbox/dom.html")"
[ "$(grep -o '<svg ' "$sandbox/dom.html" | grep -c .)" = 5 ] || fail "pictures in the page"
# The last exam when the teacher says so.
"$tool" --source "$source_file" --html "$sandbox/last.html" --retake last "$folder" >/dev/null 2>&1
grep -q '<td>01</td><td>Li Lei</td><td>中途退出</td>' "$sandbox/last.html" || fail "--retake last"
browser --screenshot="$artifacts/report-page.png" --window-size=1240,1754 "file://$html" ||
    fail "no screenshot"
colours=$(identify -format '%k' "$artifacts/report-page.png" 2>/dev/null || echo 0)
[ "$colours" -gt 50 ] || fail "the screenshot is nearly blank ($colours colours)"
browser --print-to-pdf="$artifacts/report.pdf" --no-pdf-header-footer "file://$html" ||
    fail "no print"
# A4: 595 x 842 points.
grep -aq 'MediaBox \[0 0 59[45]\.[0-9]* 84[12]\.[0-9]*\]' "$artifacts/report.pdf" ||
    fail "the print is not A4: $(grep -ao 'MediaBox[^]]*]' "$artifacts/report.pdf" | head -n 1)"
pdftotext -layout -f 1 -l 1 "$artifacts/report.pdf" "$sandbox/page1.txt" || fail "pdftotext"
for text in 期末打字考试 成绩表 'Li Lei' 赵六 缺考 及格 教师签名 '第 1 页，共'; do
    grep -q "$text" "$sandbox/page1.txt" || fail "page 1 lacks $text: $(cat "$sandbox/page1.txt")"
done
grep -q '打字曲线\|得分分布' "$sandbox/page1.txt" && fail "pictures on page 1: $(cat "$sandbox/page1.txt")"
pages=$(pdfinfo "$artifacts/report.pdf" | sed -n 's/^Pages: *//p')
pdftotext -layout -f "$pages" -l "$pages" "$artifacts/report.pdf" "$sandbox/last.txt"
grep -q "第 $pages 页，共 $pages 页" "$sandbox/last.txt" || fail "no page number on page $pages"
pdftoppm -f 1 -l 1 -r 80 -png -singlefile "$artifacts/report.pdf" "$artifacts/report-page1" ||
    fail "pdftoppm"

# ---- 3. The workbook read back -------------------------------------------------------------
mkdir -p "$sandbox/calc"
timeout 120 soffice -env:UserInstallation="file://$sandbox/lo" --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76' \
    --outdir "$sandbox/calc" "$sandbox/成绩.xlsx" >"$sandbox/soffice.log" 2>&1 ||
    fail "LibreOffice: $(cat "$sandbox/soffice.log")"
book="$sandbox/calc/成绩.csv"
[ -s "$book" ] || fail "LibreOffice wrote nothing: $(cat "$sandbox/soffice.log")"
head -n 1 "$book" | grep -q '^名次,学号,姓名,状态,得分,速度（字/分）,正确率,击键,码长,回改,用时,用时（秒）,完成用时,' ||
    fail "headers: $(head -n 1 "$book")"
grep -q '^1,01,Li Lei,完成,100,[0-9.]*,83.3%,[0-9.]*,[0-9.]*,1,00:00:[0-9][0-9]\.[0-9],[0-9.]*,00:00:[0-9][0-9]\.[0-9],10,0,' "$book" ||
    fail "row 01: $(cat "$book")"
# Its speed worked out again from the exact seconds is the speed shown.
awk -F, '$2 == "01" && $4 == "完成" { d = 10 * 60 / $12 - $6; exit !(d < 0.051 && d > -0.051) }' "$book" ||
    fail "the seconds do not give the speed: $(cat "$book")"
grep -q '^,003,Wang Fang,' "$book" || fail "row 003 lost its zeros: $(cat "$book")"
# In the file: the numbers of students are text, the scores numbers.
sheet=$(unzip -p "$sandbox/成绩.xlsx" xl/worksheets/sheet1.xml)
echo "$sheet" | grep -q '<c r="B2" [^>]*t="s"' || fail "B2 is not text: $sheet"
echo "$sheet" | grep -q '<c r="E2" s="[0-9]*"><v>100</v>' || fail "E2 is not the number 100: $sheet"

# The CSV in LibreOffice taking quoted fields as text: 003 stays 003, the score a number.
mkdir -p "$sandbox/csv"
cp "$csv" "$sandbox/csv/table.csv"
timeout 120 soffice -env:UserInstallation="file://$sandbox/lo" --headless \
    --infilter='CSV:44,34,76,1,,0,true' --convert-to xlsx --outdir "$sandbox/csv/out" \
    "$sandbox/csv/table.csv" >"$sandbox/soffice.log" 2>&1 || fail "LibreOffice: $(cat "$sandbox/soffice.log")"
sheet=$(unzip -p "$sandbox/csv/out/table.xlsx" xl/worksheets/sheet1.xml)
echo "$sheet" | grep -q '<c r="A5" [^>]*t="s"' || fail "003 did not stay text: $sheet"
echo "$sheet" | grep -q '<c r="D2" [^>]*t="n"><v>100</v>' || fail "the score is not a number: $sheet"

echo "report: $(stat -c %s "$html") bytes of HTML, $(stat -c %s "$sandbox/成绩.xlsx") bytes of xlsx"
echo PASS
