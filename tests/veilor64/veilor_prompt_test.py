#!/usr/bin/env python3
"""veilor asks for the passphrase on its terminal, as people use it.

    veilor_prompt_test.py VEILOR

Runs veilor on a pseudo-terminal and answers its prompts: encryption asks twice
and refuses two different answers without writing anything; decryption asks
once; what is typed is never echoed; without a terminal veilor says how else to
give the passphrase.
"""
import os
import shutil
import subprocess
import sys
import tempfile

from terminal import fail, run_on_terminal

ROOT = tempfile.mkdtemp(prefix="veilor-prompt-")


def core_limit(pid):
    """The core file size limit of a running process, as /proc shows it."""
    with open("/proc/%d/limits" % pid) as limits:
        for line in limits:
            if line.startswith("Max core file size"):
                return line.split()[4:6]
    return None


def main():
    veilor = os.path.abspath(sys.argv[1])
    os.chdir(ROOT)
    with open("plain.bin", "wb") as out:
        out.write(os.urandom(70000))
    secret = "s3cr\u00e9t phrase"

    cases = [
        # name, command, destination, answers, status, asked, written
        ("kdf, typed twice alike", "encrypt", "ok.kdf", ["Xy7!", "Xy7!"], 0, 2, True),
        ("age, typed twice alike", "encrypt", "ok.age", [secret, secret], 0, 2, True),
        ("age, typed twice differently", "encrypt", "typo.age", [secret, secret + "x"], 1, 2, False),
        ("kdf, typed twice differently", "encrypt", "typo.kdf", ["Xy7!", "Xy7?"], 1, 2, False),
    ]
    for name, command, destination, answers, want_status, want_asked, written in cases:
        status, said, asked = run_on_terminal([veilor, command, "plain.bin", destination], answers)
        if status != want_status or asked != want_asked:
            fail("%s: status %d after %d prompts; it said %r" % (name, status, asked, said))
        if os.path.exists(destination) != written:
            fail("%s: the destination %s" % (name, "is missing" if written else "was written"))
        for answer in answers:
            if answer.encode() in said:
                fail("%s: the terminal echoed %r: %r" % (name, answer, said))
        if not written and b"differ" not in said:
            fail("%s: the refusal does not say why: %r" % (name, said))

    # While it holds a passphrase, veilor can leave no core file.
    limits = []
    run_on_terminal([veilor, "encrypt", "plain.bin", "core.age"], [secret, secret],
                    seen=lambda pid: limits.append(core_limit(pid)))
    if limits != [["0", "0"]]:
        fail("veilor keeps core dumps on: %r" % limits)

    # Decryption asks once, and gives back the same bytes.
    for source, answer in (("ok.kdf", "Xy7!"), ("ok.age", secret)):
        back = source + ".back"
        status, said, asked = run_on_terminal([veilor, "decrypt", source, back], [answer])
        if status != 0 or asked != 1:
            fail("decrypt %s: status %d after %d prompts: %r" % (source, status, asked, said))
        if open(back, "rb").read() != open("plain.bin", "rb").read():
            fail("decrypt %s gave other bytes" % source)

    # No terminal at all: nothing is asked, nothing written, the other ways are named.
    result = subprocess.run([veilor, "encrypt", "plain.bin", "none.age"], stdin=subprocess.DEVNULL,
                            capture_output=True, start_new_session=True)
    if result.returncode != 1 or os.path.exists("none.age"):
        fail("without a terminal: %d %r" % (result.returncode, result.stderr))
    if b'"-"' not in result.stderr or b"--passphrase-file" not in result.stderr:
        fail("without a terminal the other ways are not named: %r" % result.stderr)
    print("PASS")


if __name__ == "__main__":
    try:
        main()
    finally:
        os.chdir("/")
        shutil.rmtree(ROOT, ignore_errors=True)
