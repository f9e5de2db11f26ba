#!/usr/bin/env bash
# latency.sh <qarvel binary> <keylat folder> <mapwait binary> [rounds] [keys] [outdir]
#
# On demand, not a test. Black-box figures of the program beside bare Qt, in
# alternating rounds (compare ratios within one run, not milliseconds across runs):
#  - key press to changed pixels in the exam window (keylat, after signing in),
#    beside a bare QPlainTextEdit, at the sample source, a 20,000-character
#    source and a 10 MB source;
#  - process start to the login window mapped and peak memory (mapwait), beside
#    a bare QLabel window, at the same three sources;
#  - peak memory over each keyed run (start to end, keys typed), and the time
#    from the login's OK to the exam window mapped and painted (sample, 10 MB).
# <keylat folder> is a built copy of the keylat tool (keylat and bare/build/bare);
# The bare QLabel window is $BARE_WINDOW, by default bench/bare_window of the dev build.
# With $BEFORE set to another build of the program, that one is measured in the
# same rounds too (rows "was-..."), for before/after tables.
set -uo pipefail
qarvel=$(realpath "$1") keylat=$(realpath "$2") mapwait=$(realpath "$3")
rounds=${4:-3} keys=${5:-300} out=${6:-$(mktemp -d /tmp/qarvel-latency.XXXXXX)}
repo=$(cd "$(dirname "$0")/.." && pwd)
bare_window=${BARE_WINDOW:-$repo/build/dev/bench/bare_window}
mkdir -p "$out"
command -v python3 >/dev/null || { echo "latency.sh: needs python3" >&2; exit 2; }

# The sources: the sample, 20,000 characters and 10 MB of Chinese prose in GBK,
# a line break after every 60 characters.
python3 - "$out" <<'EOF'
import sys
prose = "春眠不觉晓，处处闻啼鸟。夜来风雨声，花落知多少。床前明月光，疑是地上霜。举头望明月，低头思故乡。"
def make(chars=None, size=None):
    lines, n, i = [], 0, 0
    while True:
        line = "".join(prose[(i + k) % len(prose)] for k in range(60))
        i += 60
        lines.append(line)
        n += 61
        if chars and n >= chars or size and n * 2 >= size:
            break
    text = "\r\n".join(lines)
    return text[:chars] if chars else text
for name, text in (("20k", make(chars=20000)), ("10m", make(size=10 * 1024 * 1024))):
    open(f"{sys.argv[1]}/{name}.txt", "wb").write(text.encode("gbk"))
EOF
cp "$repo/vexo/2.txt" "$out/sample.txt"

# Signing in: a name in Edit1 (224,104), then "开始考试" (Button1 at 152,256 of
# the 558 x 320 login window).
login='xdotool mousemove $((WX+280)) $((WY+117)) click 1; xdotool type --delay 20 Test
xdotool mousemove $((WX+196)) $((WY+268)) click 1; sleep 2'
# The exam window without its clocks (the strip above the counters).
region=0,70,922,578

# CPU time of the program while keys are typed: its /proc stat when the keys
# begin and, sampled until it ends, when they end (utime + stime, in ticks).
cpu_pid='pid=$(xdotool getwindowpid "$WIN")'
# Its peak memory over the whole run (start, login, exam window, keys) likewise.
cpu_watch='awk "{print \$14 + \$15}" /proc/$pid/stat >"$CPU.begin"
(while kill -0 $pid 2>/dev/null; do awk "{print \$14 + \$15}" /proc/$pid/stat >"$CPU.end.new" 2>/dev/null &&
 mv "$CPU.end.new" "$CPU.end"; awk "/^VmHWM/ {print \$2}" /proc/$pid/status >"$CPU.hwm.new" 2>/dev/null &&
 mv "$CPU.hwm.new" "$CPU.hwm"; sleep 0.1; done) >/dev/null 2>&1 &'

keys_of() { # keys_of <label> <command...>
    local label=$1
    shift
    export CPU="$out/cpu.$label.$r"
    "$keylat/run.sh" --count "$keys" --out "$out/keys.$label.$r.txt" "$@" 2>"$out/keys.$label.$r.log" |
        sed -n 's/^SUMMARY //p' >"$out/keys.$label.$r.summary"
    echo "round $r keys $label: $(cat "$out/keys.$label.$r.summary")"
}
# From "开始考试" (the login filled in) to the exam window mapped and painted.
exam_of() { # exam_of <label> <command...>
    local label=$1
    shift
    xvfb-run -a -s "-screen 0 1280x1024x24" "$mapwait" --name 考生进入 --linger 0 \
        --step 'xdotool mousemove --window $WIN 280 117 click 1; xdotool type --delay 20 Test' \
        --click 196,268 -- "$@" 2>/dev/null | sed -n 's/^MAPWAIT //p' >>"$out/exam.$label.summary"
}
map_of() { # map_of <label> <window name> <command...>
    local label=$1 name=$2
    shift 2
    xvfb-run -a -s "-screen 0 1280x1024x24" "$mapwait" --name "$name" --linger 500 -- "$@" \
        2>/dev/null | sed -n 's/^MAPWAIT //p' >>"$out/map.$label.summary"
}

for r in $(seq "$rounds"); do
    keys_of bare --setup "$cpu_pid; $cpu_watch" --click 400,300 -- "$keylat/bare/build/bare"
    for s in sample 20k 10m; do
        keys_of "$s" --setup "$cpu_pid; $login; $cpu_watch" --click 300,400 --region "$region" -- "$qarvel" --source "$out/$s.txt"
        [ -n "${BEFORE:-}" ] && keys_of "was-$s" --setup "$cpu_pid; $login; $cpu_watch" --click 300,400 --region "$region" -- "$BEFORE" --source "$out/$s.txt"
    done
    for _ in 1 2 3; do
        [ -x "$bare_window" ] && map_of bare-label bare "$bare_window" --text
        for s in sample 20k 10m; do
            map_of "$s" 考生进入 "$qarvel" --source "$out/$s.txt"
            [ -n "${BEFORE:-}" ] && map_of "was-$s" 考生进入 "$BEFORE" --source "$out/$s.txt"
        done
        for s in sample 10m; do
            exam_of "$s" "$qarvel" --source "$out/$s.txt"
            [ -n "${BEFORE:-}" ] && exam_of "was-$s" "$BEFORE" --source "$out/$s.txt"
        done
    done
done

med() { sort -g | awk '{a[NR]=$1} END { if (NR) print (NR % 2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2); else print "-" }'; }
field() { sed -n "s/.*\\b$2=\\([^ ]*\\).*/\\1/p" "$1" | med; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", a / b }'; }

echo
echo "key press to changed pixels (ms; median over rounds of each run's figure)"
# CPU per key: the keys typed are the measured and warm-up keys and as many
# unmeasured BackSpaces (keylat clears the text every 40 keys).
cpu_per_key() { # median over rounds, in ms
    for f in "$out"/cpu.$1.*.begin; do
        [ -s "${f%.begin}.end" ] || continue
        awk -v b="$(cat "$f")" -v e="$(cat "${f%.begin}.end")" -v k="$keys" -v hz="$(getconf CLK_TCK)" \
            'BEGIN { printf "%.3f\n", (e - b) * 1000 / hz / (2 * (k + 5)) }'
    done | med
}
hwm_of() { # peak memory over the keyed runs, MB (median over rounds)
    for f in "$out"/cpu.$1.*.hwm; do [ -s "$f" ] && cat "$f"; done | med | awk '{ if ($1 == "-") print "-"; else printf "%.1f\n", $1 / 1024 }'
}
printf '%-8s %6s %8s %8s %8s %8s %9s %8s\n' source misses median p99 max "x bare" "cpu/key" peak_MB
base=$(cat "$out"/keys.bare.*.summary | field /dev/stdin median)
for s in bare sample 20k 10m was-sample was-20k was-10m; do
    ls "$out"/keys.$s.*.summary >/dev/null 2>&1 || continue
    all=$(cat "$out"/keys.$s.*.summary)
    m=$(echo "$all" | field /dev/stdin median)
    miss=$(echo "$all" | sed -n 's/.*\bmiss=\([0-9]*\).*/\1/p' | paste -sd+ | bc)
    printf '%-8s %6s %8s %8s %8s %8s %9s %8s\n' "$s" "${miss:-?}" "$m" "$(echo "$all" | field /dev/stdin p99)" \
        "$(echo "$all" | field /dev/stdin max)" "$(ratio "$m" "$base")" "$(cpu_per_key "$s")" "$(hwm_of "$s")"
done

echo
echo "process start to the first window (ms, median of all runs) and memory (MB)"
printf '%-10s %8s %8s %8s %8s\n' what map_ms settle_ms "x bare" peak_MB
base=$(field "$out/map.bare-label.summary" map_ms)
for s in bare-label sample 20k 10m was-sample was-20k was-10m; do
    [ -s "$out/map.$s.summary" ] || continue
    m=$(field "$out/map.$s.summary" map_ms)
    printf '%-10s %8s %8s %8s %8s\n' "$s" "$m" "$(field "$out/map.$s.summary" settle_ms)" \
        "$(ratio "$m" "$base")" "$(awk -v k="$(field "$out/map.$s.summary" hwm_kb)" 'BEGIN { printf "%.1f", k / 1024 }')"
done
echo
echo "from the login's 开始考试 to the exam window mapped and painted (ms, median of all runs)"
printf '%-10s %8s %9s\n' what map2_ms settle2_ms
for s in sample 10m was-sample was-10m; do
    [ -s "$out/exam.$s.summary" ] || continue
    printf '%-10s %8s %9s\n' "$s" "$(field "$out/exam.$s.summary" map2_ms)" "$(field "$out/exam.$s.summary" settle2_ms)"
done
echo "(per-sample files in $out)"
