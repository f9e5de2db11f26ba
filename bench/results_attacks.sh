#!/bin/bash
# Times qarvel-results on a room of 60 genuine 30-minute records, and on the
# same room with each record a hostile examinee can leave in a drop box:
# wall time, peak memory, exit status and the HTML page's size.
#   bench/results_attacks.sh RESULTS_FOLDER_TOOL QARVEL_RESULTS [MEMORY_KB] [SECONDS]
# Each run is held to MEMORY_KB of address space (default 3 GB) and SECONDS
# (default 120), so that a build that reads without bounds fails there and not
# on the machine.
set -u
maker=$(realpath "${1:?the results_folder tool}")
tool=$(realpath "${2:?the qarvel-results to time}")
memory=${3:-3000000}
seconds=${4:-120}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$maker" "$work/all/room" --attacks
mkdir -p "$work/genuine/room"
cp "$work/all/source.txt" "$work/genuine/"
cp "$work"/all/room/2024*.json "$work/genuine/room/"

room() { # NAME FILE...: the genuine room with these files of the hostile one
    local name=$1
    shift
    mkdir -p "$work/$name"
    cp -a "$work/genuine/room" "$work/genuine/source.txt" "$work/$name/"
    local file
    for file in "$@"; do
        cp -a "$work/all/room/$file" "$work/$name/room/"
    done
}
room edits edits.json
room pauses pauses.json
room day day.json
room zero zero.json
room link x.json
room fifo fifo.json
cp -a "$work/all/fifo" "$work/fifo/"
sed -i "s#$work/all/fifo#$work/fifo/fifo#" "$work/fifo/room/fifo.json"
room stdin y.json

printf '%-24s %9s %12s %6s %12s\n' case seconds "peak kB" status "html bytes"
run() { # NAME EXTRA-OPTIONS...
    local name=$1
    shift
    local dir=$work/$name
    (
        cd "$dir" || exit
        ulimit -v "$memory"
        /usr/bin/time -f '%e %M' -o time.txt timeout -s KILL "$seconds" \
            "$tool" "$@" room >out.txt 2>err.txt </dev/null
        echo $? >status.txt
    )
    local html=-
    [[ -f $dir/r.html ]] && html=$(stat -c %s "$dir/r.html")
    read -r elapsed peak <<<"$(tail -1 "$dir/time.txt")"
    printf '%-24s %9s %12s %6s %12s\n' "$name $*" "$elapsed" "$peak" "$(cat "$dir/status.txt")" "$html"
    rm -f "$dir/r.html" "$dir/r.xlsx"
}
for name in genuine edits day pauses zero link fifo stdin all; do
    run "$name"
    run "$name" --html r.html --xlsx r.xlsx
done
