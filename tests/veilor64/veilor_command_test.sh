#!/usr/bin/env bash
# The veilor command as people and scripts use it: a round trip with the
# passphrase on the command line and on standard input, the library's error
# texts with a failing exit code, and registration seen through orvelle-reg.
set -euo pipefail
veilor=$1
reg=$2
source "$(dirname "$0")/../support/xvfb.sh"
orvelle_private_env
# No display: the command must work without any window.
unset DISPLAY WAYLAND_DISPLAY

fail() { echo "FAIL: $*"; exit 1; }
cd "$TEST_ROOT"

head -c 100000 /dev/urandom >plain.bin
"$veilor" encrypt 'pa ss' plain.bin plain.kdf 2>notice.txt || fail "encrypt failed"
grep -qx '\.kdf files keep out casual readers only; they do not resist an attacker' notice.txt \
    || fail "encrypt did not say what the format is worth: $(cat notice.txt)"
[ "$(stat -c %s plain.kdf)" -eq 100008 ] || fail "the encrypted file is not 8 bytes longer"
printf 'pa ss\n' | "$veilor" decrypt - plain.kdf back.bin || fail "decrypt with the passphrase on standard input failed"
cmp -s plain.bin back.bin || fail "the round trip changed the file"
[ "$(stat -c %a plain.kdf) $(stat -c %a back.bin)" = "600 600" ] || fail "outputs are not 0600"

set +e
"$veilor" encrypt '日本' plain.bin japanese.kdf 2>err.txt; status=$?
set -e
[ "$status" -eq 1 ] && grep -q '^Error: 64103 - The passphrase holds "日"' err.txt \
    || fail "a passphrase outside Windows-1252 was not refused by name: $status $(cat err.txt)"
[ ! -e japanese.kdf ] || fail "a refused passphrase wrote a file"
# The same passphrase is fine for age, which says nothing of ".kdf".
"$veilor" encrypt '日本' plain.bin japanese.age 2>notice.txt || fail "age refused 日本: $(cat notice.txt)"
[ ! -s notice.txt ] || fail "an age encryption said: $(cat notice.txt)"
"$veilor" decrypt '日本' japanese.age back.bin && cmp -s plain.bin back.bin \
    || fail "the age round trip under 日本 failed"
rm -f japanese.age

set +e
"$veilor" decrypt wrong plain.kdf wrong.bin 2>err.txt
status=$?
set -e
[ "$status" -eq 1 ] || fail "a wrong passphrase exited with $status"
grep -qx 'Error: 64101 - Incorrect Password\.' err.txt || fail "wrong passphrase text: $(cat err.txt)"
[ ! -e wrong.bin ] || fail "a wrong passphrase wrote a file"

set +e
"$veilor" encrypt 123456789 plain.bin long.kdf 2>err.txt; s1=$?
"$veilor" encrypt abc missing.bin out.kdf 2>err2.txt; s2=$?
"$veilor" decrypt abc missing.bin out.bin 2>err3.txt; s3=$?
"$veilor" encrypt abc 2>/dev/null; s4=$?
set -e
[ "$s1" -eq 1 ] && grep -qx 'Error: 64102 - Password must be less than 8 characters' err.txt \
    || fail "too long: $s1 $(cat err.txt)"
[ "$s2" -eq 1 ] && grep -qx 'Error: 64201 - File Not Found' err2.txt || fail "missing on encrypt: $(cat err2.txt)"
[ "$s3" -eq 1 ] && grep -qx 'Error: 64201 - File Not Found\.' err3.txt || fail "missing on decrypt: $(cat err3.txt)"
[ "$s4" -eq 2 ] || fail "a usage error exited with $s4"

"$veilor" register || fail "register failed"
library=$(readlink -f "$(dirname "$veilor")/libveilor64.so")
"$reg" query 'HKCR\Veilor64.Veilor\CLSID' /ve | grep -q '{9F16664C-724D-4B5C-8D83-95CB8002A6A9}' \
    || fail "no class under Veilor64.Veilor"
"$reg" query 'HKCR\CLSID\{9F16664C-724D-4B5C-8D83-95CB8002A6A9}\InprocServer32' /ve \
    | grep -qF "$library" || fail "InprocServer32 does not name $library"
"$veilor" unregister || fail "unregister failed"
if "$reg" query 'HKCR\Veilor64.Veilor' >/dev/null 2>&1; then fail "unregister left Veilor64.Veilor"; fi
[ -z "$(ls -A "$TEST_ROOT" | grep -v -e '^plain' -e '^back' -e '^err' -e '^notice' -e '^home$' -e '^config$' \
        -e '^data$' -e '^cache$' -e '^runtime$' -e '^tmp$')" ] || fail "stray files: $(ls -A)"
echo "PASS"
