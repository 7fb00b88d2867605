#!/usr/bin/env bash
# The real program under Xvfb: a second copy is refused with its message box and
# leaves the first alone; a copy opened on an encrypted file hands it to the first
# without a box; SIGTERM ends the first through its unload step; a killed copy does
# not block the next start.
set -euo pipefail
orvelle=$1
reg=$2
source "$(dirname "$0")/../support/xvfb.sh"
orvelle_private_env
orvelle_start_xvfb

fail() { echo "FAIL: $*"; exit 1; }

"$orvelle" 2>"$TEST_ROOT/first.log" &
first=$!
ORVELLE_PIDS+=("$first")
orvelle_wait_window '^Orvelle v2\.1$' >/dev/null || fail "the first copy shows no main window"
# Passphrases typed on its pages never reach a core file.
grep -Eq '^Max core file size +0 +0 ' "/proc/$first/limits" || fail "the program keeps core dumps on"

"$orvelle" 2>"$TEST_ROOT/second.log" &
second=$!
ORVELLE_PIDS+=("$second")
box=$(orvelle_wait_window '^Orvelle$') || fail "the second copy shows no message box"
xdotool windowfocus --sync "$box" key Return
for _ in $(seq 100); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
kill -0 "$second" 2>/dev/null && fail "the second copy did not end after its message box"
wait "$second" || fail "the second copy ended with an error"
kill -0 "$first" || fail "the first copy did not survive the second start"
[ "$(xdotool search --name '^Orvelle v2\.1$' | wc -l)" -eq 1 ] || fail "more than one main window"

# An encrypted file opened while a copy runs: handed to the running copy, no box.
printf 'x' >"$TEST_ROOT/letter.kdf"
"$orvelle" "$TEST_ROOT/letter.kdf" 2>"$TEST_ROOT/opener.log" &
opener=$!
ORVELLE_PIDS+=("$opener")
for _ in $(seq 100); do kill -0 "$opener" 2>/dev/null || break; sleep 0.1; done
kill -0 "$opener" 2>/dev/null && fail "the copy opened on a file did not hand it over and end"
wait "$opener" || fail "the copy opened on a file ended with an error"
[ -z "$(xdotool search --onlyvisible --name '^Orvelle$' 2>/dev/null)" ] || fail "a file handed over showed a box"
kill -0 "$first" || fail "the first copy did not survive the hand-over"
[ "$(xdotool search --name '^Orvelle v2\.1$' | wc -l)" -eq 1 ] || fail "more than one main window"
[ "$(cat "$TEST_ROOT/letter.kdf")" = x ] || fail "the opened file was changed"

kill -TERM "$first"
wait "$first" || fail "the first copy did not end cleanly on SIGTERM"
"$reg" query 'HKCU\Software\VB and VBA Program Settings\Orvelle\Options' /v StartUp \
    | grep -q 'StartUp    REG_SZ    0' || fail "the unload step did not save the StartUp option"
grep -q '^KDF=.*/orvelle ^\.KDF$' "$XDG_CONFIG_HOME/orvelle/win.ini" || fail "no KDF entry in win.ini"

"$orvelle" 2>"$TEST_ROOT/third.log" &
third=$!
ORVELLE_PIDS+=("$third")
orvelle_wait_window '^Orvelle v2\.1$' >/dev/null || fail "the third copy shows no main window"
kill -KILL "$third"
wait "$third" 2>/dev/null || true

"$orvelle" 2>"$TEST_ROOT/fourth.log" &
fourth=$!
ORVELLE_PIDS+=("$fourth")
orvelle_wait_window '^Orvelle v2\.1$' >/dev/null || fail "a killed copy blocked the next start"
kill -TERM "$fourth"
wait "$fourth" || fail "the fourth copy did not end cleanly"
echo "PASS"
