#!/usr/bin/env bash
# The real program under Xvfb, ended while a scheduled clean empties a large temporary
# folder: by "E&xit" (Alt+X) and by SIGTERM. Each time the process is gone within one
# second, and every file is either gone or still whole.
set -euo pipefail
orvelle=$1
reg=$2
source "$(dirname "$0")/../support/xvfb.sh"
orvelle_private_env
orvelle_start_xvfb
# The tree lives in memory where there is a tmpfs: on a busy disk making and removing
# 60 000 files costs minutes.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    TMPDIR=$(mktemp -d /dev/shm/orvelle-clean-XXXXXX)
    export TMPDIR
    trap 'rm -rf "$TMPDIR"; orvelle_cleanup' EXIT
fi

fail() { echo "FAIL: $*"; exit 1; }
schedule='HKCU\Software\VB and VBA Program Settings\Orvelle\Schedule'

make_tree() {
    python3 - "$TMPDIR" <<'PY'
import os, sys
root = sys.argv[1]
for d in range(300):
    folder = os.path.join(root, "tree", f"d{d:03}")
    os.makedirs(folder)
    for f in range(200):
        with open(os.path.join(folder, f"f{f:03}"), "w") as out:
            out.write(f"content {d} {f}\n")
PY
}

# Every file left has the content it was made with.
check_tree() {
    python3 - "$TMPDIR" <<'PY'
import os, sys
left = 0
for folder, _, files in os.walk(os.path.join(sys.argv[1], "tree")):
    for name in files:
        d = int(os.path.basename(folder)[1:]); f = int(name[1:])
        with open(os.path.join(folder, name)) as source:
            if source.read() != f"content {d} {f}\n":
                sys.exit(f"half-deleted: {folder}/{name}")
        left += 1
print(left)
PY
}

# Due in two seconds: daily at that time of day.
arm_schedule() {
    "$reg" add "$schedule" /v RunOn /d 7 /f >/dev/null
    "$reg" add "$schedule" /v Date /d Null /f >/dev/null
    "$reg" add "$schedule" /v Time /d "$(date -d '+2 seconds' +%H:%M:%S)" /f >/dev/null
}

run_once() {
    local how=$1
    local total
    total=$(check_tree)
    arm_schedule
    "$orvelle" 2>"$TEST_ROOT/$how.log" &
    local pid=$!
    ORVELLE_PIDS+=("$pid")
    local window
    window=$(orvelle_wait_window '^Orvelle v2\.1$') || fail "$how: no main window"
    # The run has started once the walk's first file left is gone.
    local first
    first=$(find "$TMPDIR/tree" -type f | LC_ALL=C sort | sed -n 1p)
    local started=0
    for _ in $(seq 500); do
        [ -e "$first" ] || { started=1; break; }
        sleep 0.01
    done
    [ "$started" = 1 ] || fail "$how: the scheduled clean did not start"
    local begin
    begin=$(date +%s%N)
    if [ "$how" = exit ]; then
        xdotool windowfocus --sync "$window" key alt+x
    else
        kill -TERM "$pid"
    fi
    while kill -0 "$pid" 2>/dev/null && [ $(( ($(date +%s%N) - begin) / 1000000 )) -lt 5000 ]; do
        sleep 0.01
    done
    local elapsed=$(( ($(date +%s%N) - begin) / 1000000 ))
    kill -0 "$pid" 2>/dev/null && fail "$how: the process still runs after ${elapsed} ms"
    wait "$pid" || fail "$how: the process ended with an error"
    [ "$elapsed" -le 1000 ] || fail "$how: the process took ${elapsed} ms to end"
    local left
    left=$(check_tree) || fail "$how: $left"
    [ "$left" -gt 0 ] || fail "$how: the clean finished before it could be interrupted"
    sleep 0.2
    [ "$(check_tree)" = "$left" ] || fail "$how: files still go after the end"
    echo "[${SECONDS} s] $how: ended in ${elapsed} ms with $left of $total files left, all whole"
}

# One tree for both: the first end leaves most of it.
make_tree; echo "tree made after ${SECONDS} s"
run_once exit
run_once sigterm
echo "PASS"
