# Shared start-up and clean-up for the with-*.sh sandboxes: throw-away HOME and
# XDG folders, an Xvfb display and a private D-Bus session bus. Source it, call
# sandbox_begin NAME, start what else you need with sandbox_track PID, and
# everything is ended by process id when the script exits.

sandbox_pids=()
sandbox=""

sandbox_stop_pid() {
    local pid=$1
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
}

sandbox_cleanup() {
    local i
    # Last started, first ended.
    for ((i = ${#sandbox_pids[@]} - 1; i >= 0; i--)); do
        sandbox_stop_pid "${sandbox_pids[i]}"
    done
    wait 2>/dev/null
    [ -n "$sandbox" ] && rm -rf "$sandbox"
}

sandbox_track() { sandbox_pids+=("$1"); }

sandbox_fail() {
    echo "$sandbox_name: $*" >&2
    local log
    for log in "$sandbox"/*.log; do
        [ -s "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
    done
    exit 1
}

# sandbox_require TOOL... : exit 77 (skipped) when one is missing.
sandbox_require() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "$sandbox_name: $tool not installed, skipping" >&2
            exit 77
        fi
    done
}

# Asks the bus, never the service: a call to the service would let the bus
# start it.
sandbox_has_owner() {
    dbus-send --session --print-reply=literal --reply-timeout=1000 \
        --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q true
}

# sandbox_wait_owner NAME PID: until NAME has an owner on the bus (15 s).
sandbox_wait_owner() {
    for _ in $(seq 150); do
        sandbox_has_owner "$1" && return 0
        kill -0 "$2" 2>/dev/null || sandbox_fail "the owner of $1 exited"
        sleep 0.1
    done
    sandbox_fail "$1 did not appear on the bus"
}

sandbox_begin() {
    sandbox_name=$1
    sandbox_require Xvfb dbus-daemon dbus-send
    sandbox=$(mktemp -d "${TMPDIR:-/tmp}/qarvel-$sandbox_name.XXXXXX")
    trap sandbox_cleanup EXIT
    trap 'exit 130' INT TERM

    # Fresh HOME and XDG folders: input methods learn from their history,
    # which would change candidate order from one run to the next.
    export HOME="$sandbox/home"
    export XDG_CONFIG_HOME="$sandbox/config"
    export XDG_DATA_HOME="$sandbox/data"
    export XDG_CACHE_HOME="$sandbox/cache"
    export XDG_RUNTIME_DIR="$sandbox/runtime"
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    unset IBUS_ADDRESS IBUS_ADDRESS_FILE WAYLAND_DISPLAY SESSION_MANAGER

    # An X display of its own; Xvfb picks a free number and writes it to fd 5.
    # No reset when the last client goes: a program started just then would
    # find the server refusing connections.
    Xvfb -displayfd 5 -screen 0 "${QARVEL_XVFB_SCREEN:-1024x768x24}" -nolisten tcp -noreset 5>"$sandbox/display" \
        >"$sandbox/xvfb.log" 2>&1 &
    sandbox_track $!
    local xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$sandbox/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || sandbox_fail "Xvfb exited"
        sleep 0.1
    done
    [ -s "$sandbox/display" ] || sandbox_fail "Xvfb gave no display number"
    export DISPLAY=":$(head -n 1 "$sandbox/display")"

    # A private session bus.
    dbus-daemon --session --fork --print-address=3 --print-pid=4 \
        3>"$sandbox/bus-address" 4>"$sandbox/bus-pid" 2>"$sandbox/dbus.log" ||
        sandbox_fail "dbus-daemon did not start"
    sandbox_track "$(head -n 1 "$sandbox/bus-pid")"
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$sandbox/bus-address")
    export DBUS_SESSION_BUS_ADDRESS
}
