#!/usr/bin/env bash
# Runs a test program on a private Xvfb, with or without a window manager:
#   run_under_xvfb.sh PROGRAM [openbox] [-- PROGRAM-ARGUMENTS]
set -euo pipefail
program=$1
shift
manager=none
if [ "${1:-}" = openbox ]; then
    manager=openbox
    shift
fi
[ "${1:-}" = -- ] && shift
source "$(dirname "$0")/../support/xvfb.sh"
orvelle_private_env
orvelle_start_xvfb
export ORVELLE_TEST_WINDOW_MANAGER=$manager
if [ "$manager" = openbox ]; then
    command -v openbox >/dev/null || { echo "openbox is not installed (scripts/install-deps)"; exit 1; }
    # The server resets whenever its last client leaves, and a client connecting just then is
    # refused: an openbox that lost that race is started again.
    for _ in 1 2 3 4 5; do
        openbox --sm-disable >>"$TEST_ROOT/openbox.log" 2>&1 &
        openbox_pid=$!
        for _ in $(seq 200); do
            kill -0 "$openbox_pid" 2>/dev/null || break
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break 2
            sleep 0.05
        done
        kill "$openbox_pid" 2>/dev/null || true
        wait "$openbox_pid" 2>/dev/null || true
    done
    ORVELLE_PIDS+=("$openbox_pid")
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
        { echo "openbox did not start on $DISPLAY"; cat "$TEST_ROOT/openbox.log"; exit 1; }
fi
"$program" "$@"
