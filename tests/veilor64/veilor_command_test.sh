#!/usr/bin/env bash
# The veilor command as people and scripts use it: a round trip with the
# passphrase in a file and on standard input, a passphrase given as an argument
# refused, the library's error texts with a failing exit code, and registration
# seen through orvelle-reg.
set -euo pipefail
veilor=$1
reg=$2
source "$(dirname "$0")/../support/xvfb.sh"
orvelle_private_env
# No display: the command must work without any window.
unset DISPLAY WAYLAND_DISPLAY

fail() { echo "FAIL: $*"; exit 1; }
cd "$TEST_ROOT"

# pass: one line, the passphrase, as --passphrase-file reads it.
pass() { printf '%s\n' "$1" >"$TEST_ROOT/pass.txt"; echo "$TEST_ROOT/pass.txt"; }

head -c 100000 /dev/urandom >plain.bin
# A passphrase on the command line is refused before anything is written, and
# the refusal names the three ways that keep it private.
set +e
"$veilor" encrypt 'pa ss' plain.bin argument.kdf 2>err.txt; status=$?
"$veilor" decrypt 'pa ss' plain.bin argument.bin 2>err2.txt; status2=$?
set -e
[ "$status" -eq 2 ] && [ "$status2" -eq 2 ] || fail "an argument passphrase exited with $status $status2"
[ ! -e argument.kdf ] && [ ! -e argument.bin ] || fail "an argument passphrase wrote a file"
for way in 'Type it when asked' '"-"' '--passphrase-file FILE'; do
    grep -qF -- "$way" err.txt || fail "the refusal does not name $way: $(cat err.txt)"
done
cmp -s err.txt err2.txt || fail "decrypt refused differently: $(cat err2.txt)"

"$veilor" encrypt --passphrase-file "$(pass 'pa ss')" plain.bin plain.kdf 2>notice.txt \
    || fail "encrypt failed"
grep -qx '\.kdf files keep out casual readers only; they do not resist an attacker' notice.txt \
    || fail "encrypt did not say what the format is worth: $(cat notice.txt)"
[ "$(stat -c %s plain.kdf)" -eq 100008 ] || fail "the encrypted file is not 8 bytes longer"
printf 'pa ss\n' | "$veilor" decrypt - plain.kdf back.bin || fail "decrypt with the passphrase on standard input failed"
cmp -s plain.bin back.bin || fail "the round trip changed the file"
[ "$(stat -c %a plain.kdf) $(stat -c %a back.bin)" = "600 600" ] || fail "outputs are not 0600"

set +e
"$veilor" encrypt --passphrase-file "$(pass '日本')" plain.bin japanese.kdf 2>err.txt; status=$?
set -e
[ "$status" -eq 1 ] && grep -q '^Error: 64103 - The passphrase holds "日"' err.txt \
    || fail "a passphrase outside Windows-1252 was not refused by name: $status $(cat err.txt)"
[ ! -e japanese.kdf ] || fail "a refused passphrase wrote a file"
# The same passphrase is fine for age, which says nothing of ".kdf".
printf '日本\n' | "$veilor" encrypt - plain.bin japanese.age 2>notice.txt || fail "age refused 日本: $(cat notice.txt)"
[ ! -s notice.txt ] || fail "an age encryption said: $(cat notice.txt)"
"$veilor" decrypt --passphrase-file "$(pass '日本')" japanese.age back.bin && cmp -s plain.bin back.bin \
    || fail "the age round trip under 日本 failed"
rm -f japanese.age

set +e
"$veilor" decrypt --passphrase-file "$(pass wrong)" plain.kdf wrong.bin 2>err.txt
status=$?
set -e
[ "$status" -eq 1 ] || fail "a wrong passphrase exited with $status"
grep -qx 'Error: 64101 - Incorrect Password\.' err.txt || fail "wrong passphrase text: $(cat err.txt)"
[ ! -e wrong.bin ] || fail "a wrong passphrase wrote a file"

set +e
"$veilor" encrypt --passphrase-file "$(pass 123456789)" plain.bin long.kdf 2>err.txt; s1=$?
"$veilor" encrypt --passphrase-file "$(pass abc)" missing.bin out.kdf 2>err2.txt; s2=$?
"$veilor" decrypt --passphrase-file "$(pass abc)" missing.bin out.bin 2>err3.txt; s3=$?
"$veilor" encrypt abc 2>/dev/null; s4=$?
"$veilor" encrypt --passphrase-file missing-pass.txt plain.bin out.kdf 2>err4.txt; s5=$?
set -e
[ "$s1" -eq 1 ] && grep -qx 'Error: 64102 - Password must be less than 8 characters' err.txt \
    || fail "too long: $s1 $(cat err.txt)"
[ "$s2" -eq 1 ] && grep -qx 'Error: 64201 - File Not Found' err2.txt || fail "missing on encrypt: $(cat err2.txt)"
[ "$s3" -eq 1 ] && grep -qx 'Error: 64201 - File Not Found\.' err3.txt || fail "missing on decrypt: $(cat err3.txt)"
[ "$s4" -eq 2 ] || fail "a usage error exited with $s4"
[ "$s5" -eq 1 ] && grep -q 'missing-pass.txt' err4.txt && [ ! -e out.kdf ] \
    || fail "a missing passphrase file: $s5 $(cat err4.txt)"

# Neither format, empty, missing: each says so, whatever the passphrase's length.
printf 'just some words\n' >plain-words.txt
: >plain-empty.txt
set +e
"$veilor" decrypt --passphrase-file "$(pass 'longer than eight')" plain-words.txt out.bin 2>err.txt; s1=$?
"$veilor" decrypt --passphrase-file "$(pass 'longer than eight')" plain-empty.txt out.bin 2>err2.txt; s2=$?
"$veilor" decrypt --passphrase-file "$(pass 'longer than eight')" missing.bin out.bin 2>err3.txt; s3=$?
set -e
[ "$s1" -eq 1 ] && grep -q '^Error: 64121 - This file is neither a .kdf file nor an age file' err.txt \
    || fail "a plain file: $s1 $(cat err.txt)"
[ "$s2" -eq 1 ] && grep -qx 'Error: 64122 - This file is empty: there is nothing to decrypt\.' err2.txt \
    || fail "an empty file: $s2 $(cat err2.txt)"
[ "$s3" -eq 1 ] && grep -qx 'Error: 64201 - File Not Found\.' err3.txt || fail "missing: $(cat err3.txt)"
[ ! -e out.bin ] || fail "a file that is not encrypted was decrypted"

"$veilor" register || fail "register failed"
library=$(readlink -f "$(dirname "$veilor")/libveilor64.so")
"$reg" query 'HKCR\Veilor64.Veilor\CLSID' /ve | grep -q '{9F16664C-724D-4B5C-8D83-95CB8002A6A9}' \
    || fail "no class under Veilor64.Veilor"
"$reg" query 'HKCR\CLSID\{9F16664C-724D-4B5C-8D83-95CB8002A6A9}\InprocServer32' /ve \
    | grep -qF "$library" || fail "InprocServer32 does not name $library"
"$veilor" unregister || fail "unregister failed"
if "$reg" query 'HKCR\Veilor64.Veilor' >/dev/null 2>&1; then fail "unregister left Veilor64.Veilor"; fi
[ -z "$(ls -A "$TEST_ROOT" | grep -v -e '^plain' -e '^back' -e '^err' -e '^notice' -e '^pass.txt$' -e '^home$' -e '^config$' \
        -e '^data$' -e '^cache$' -e '^runtime$' -e '^tmp$')" ] || fail "stray files: $(ls -A)"
echo "PASS"
