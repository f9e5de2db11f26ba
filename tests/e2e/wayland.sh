#!/usr/bin/env bash
# wayland.sh <show-window tool> <repository> <artifacts folder>
#
# Both windows on a native Wayland desktop (weston's headless backend and
# desktop shell, Qt's wayland platform) have rounded corners: in a screenshot
# the window is found by its blue (#3399ff), and each corner of that area must
# show what lies beneath (not the window's blue, no square), while the blue
# starts 12 pixels in along the diagonal. Where Xwayland is installed, the same
# for both windows on Qt's X11 platform under XWayland (weston's X server).
# Screenshots: <artifacts>/wayland-Form1.png, wayland-Form2.png.
set -uo pipefail

if [ $# -ne 3 ]; then
    echo "usage: $0 <show-window> <repository> <artifacts>" >&2
    exit 2
fi
tool=$(realpath "$1")
repository=$(realpath "$2")
artifacts=$(realpath -m "$3")
mkdir -p "$artifacts"

for t in weston weston-screenshooter convert; do
    command -v $t >/dev/null || { echo "$t not installed, skipping" >&2; exit 77; }
done
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
    { echo "qt6-wayland not installed, skipping" >&2; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qarvel-wayland.XXXXXX")
pids=()
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    wait 2>/dev/null
    [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY QT_STYLE_OVERRIDE QT_SCALE_FACTOR
# Headless weston has no seat; Qt 6.4's own Wayland input context then crashes
# drawing a text cursor (QWaylandInputDevice::textInput on no device). No input
# context on this input-less desktop.
export QT_IM_MODULE=none
socket=qarvel-wayland

width=1280
height=1024
weston --backend=headless-backend.so --use-pixman --socket=$socket \
    --width=$width --height=$height --debug --idle-time=0 \
    $(command -v Xwayland >/dev/null && echo --xwayland) >"$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/$socket" ] && break
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/$socket" ] || { cat "$work/weston.log" >&2; echo "FAIL: no weston" >&2; exit 1; }
export WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland

fail() {
    echo "FAIL: $*" >&2
    [ -s "$work/tool.log" ] && cat "$work/tool.log" >&2
    exit 1
}

# pixel <file> <x> <y>: "r,g,b" of one pixel.
pixel() {
    convert "$1" -format '%[fx:int(255*p{'"$2,$3"'}.r)],%[fx:int(255*p{'"$2,$3"'}.g)],%[fx:int(255*p{'"$2,$3"'}.b)]' info:
}

# check <window> <width> <height> [<run name>]: the window alone; its corners.
check() {
    local name=$1 w=$2 h=$3 shotname=${4:-$1}
    (cd "$repository" && exec "$tool" "$name") >"$work/tool.out" 2>"$work/tool.log" &
    local pid=$!
    pids+=($pid)
    for _ in $(seq 200); do
        grep -q shown "$work/tool.out" 2>/dev/null && break
        kill -0 $pid 2>/dev/null || fail "$name: the program ended"
        sleep 0.05
    done
    grep -q shown "$work/tool.out" || fail "$name: not shown"
    sleep 1.5 # the shell fades new windows in
    rm -f "$work"/wayland-screenshot*.png
    (cd "$work" && weston-screenshooter) >/dev/null 2>&1 || fail "weston-screenshooter failed"
    local shot
    shot=$(ls "$work"/wayland-screenshot*.png 2>/dev/null | head -n 1)
    [ -n "$shot" ] || fail "no screenshot"
    cp "$shot" "$artifacts/wayland-$shotname.png"
    kill $pid 2>/dev/null
    wait $pid 2>/dev/null
    # The window: the bounding box of its blue.
    local box x y corner
    box=$(convert "$shot" -fill black +opaque '#3399ff' -format '%@' info:)
    [[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "$name: no window found ($box)"
    [ "${BASH_REMATCH[1]}x${BASH_REMATCH[2]}" = "${w}x${h}" ] ||
        fail "$name: the window's blue covers $box, not ${w}x${h}"
    x=${BASH_REMATCH[3]}
    y=${BASH_REMATCH[4]}
    convert "$shot" -crop "${w}x${h}+${x}+${y}" +repage "$artifacts/wayland-$shotname-window.png"
    for corner in "0 0 12 12" "$((w - 1)) 0 $((w - 13)) 12" "0 $((h - 1)) 12 $((h - 13))" \
        "$((w - 1)) $((h - 1)) $((w - 13)) $((h - 13))"; do
        read -r cx cy ix iy <<<"$corner"
        local out inside
        out=$(pixel "$artifacts/wayland-$shotname-window.png" "$cx" "$cy")
        inside=$(pixel "$artifacts/wayland-$shotname-window.png" "$ix" "$iy")
        [ "$out" != "51,153,255" ] || fail "$name: corner pixel $cx,$cy is the window's: square"
        [ "$inside" = "51,153,255" ] || fail "$name: pixel $ix,$iy is $inside, not the window's blue"
    done
    echo "ok   $shotname: rounded"
}

check Form1 922 648
check Form2 558 320

display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" | head -n 1)
if [ -n "$display" ]; then
    export DISPLAY=$display QT_QPA_PLATFORM=xcb
    check Form1 922 648 xwayland-Form1
    check Form2 558 320 xwayland-Form2
else
    echo "no Xwayland: XWayland not checked" >&2
fi
echo PASS
