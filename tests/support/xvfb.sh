# Sourced by end-to-end test scripts: a private environment and a private X server.
#   orvelle_private_env        HOME, XDG_* and TMPDIR in a fresh folder ($TEST_ROOT)
#   orvelle_start_xvfb         an Xvfb on a free display, exported as DISPLAY
#   orvelle_wait_window REGEX  prints the id of the first window whose name matches
# Everything started is stopped when the script exits.

orvelle_private_env() {
    TEST_ROOT=$(mktemp -d "${TMPDIR:-/tmp}/orvelle-e2e-XXXXXX")
    export HOME=$TEST_ROOT/home XDG_CONFIG_HOME=$TEST_ROOT/config XDG_DATA_HOME=$TEST_ROOT/data
    export XDG_CACHE_HOME=$TEST_ROOT/cache XDG_RUNTIME_DIR=$TEST_ROOT/runtime TMPDIR=$TEST_ROOT/tmp
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR" "$TMPDIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    ORVELLE_PIDS=()
    trap orvelle_cleanup EXIT
}

orvelle_cleanup() {
    local pid
    for pid in "${ORVELLE_PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$TEST_ROOT"
}

orvelle_start_xvfb() {
    command -v Xvfb >/dev/null || { echo "Xvfb is not installed (scripts/install-deps)"; exit 1; }
    local fifo=$TEST_ROOT/displayfd
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" 2>"$TEST_ROOT/xvfb.log" &
    ORVELLE_PIDS+=($!)
    local number
    read -r -t 20 number <"$fifo" || { echo "Xvfb did not start"; cat "$TEST_ROOT/xvfb.log"; exit 1; }
    export DISPLAY=:$number QT_QPA_PLATFORM=xcb
}

orvelle_wait_window() {
    local id
    id=$(timeout "${2:-20}" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [ -n "$id" ] || { echo "no window named like '$1' appeared" >&2; return 1; }
    echo "$id"
}
