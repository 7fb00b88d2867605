#!/usr/bin/env python3
"""Our age files against Debian's own age tool, both ways, byte for byte.

    age_interop_test.py VEILOR AGE

veilor encrypts to ".age" and `age -d` decrypts; `age -p` (also with -a, the
ASCII armor) encrypts and veilor decrypts. age reads passphrases only from a terminal, so it runs on a
pseudo-terminal here and is answered at each prompt.
"""
import os
import shutil
import subprocess
import sys
import tempfile

from terminal import fail
from terminal import run_on_terminal as run_on_terminal_as

PASSPHRASE = "correct horse battery staple \u2013 \u00fcn\u00efc\u00f6de, well past eight"
SIZES = [0, 1, 65535, 65536, 65537, 5 * 1024 * 1024 + 3]


ROOT = tempfile.mkdtemp(prefix="age-interop-")


def run_on_terminal(argv, answer, timeout=120):
    """Runs argv on a new pseudo-terminal, answering every passphrase prompt (veilor's
    "Passphrase", age's "passphrase") with `answer`."""
    status, said, _ = run_on_terminal_as(argv, answer, timeout, ignore_case=True)
    return status, said


def veilor(veilor_path, command, source, destination, passphrase=PASSPHRASE):
    """veilor with the passphrase on standard input, or for encryption asked on a terminal."""
    if command == "encrypt":
        status, said = run_on_terminal([veilor_path, command, source, destination], passphrase)
        return subprocess.CompletedProcess([], status, b"", said)
    return subprocess.run([veilor_path, command, "-", source, destination],
                          input=(passphrase + "\n").encode(), capture_output=True)


def main():
    veilor_path, age_path = os.path.abspath(sys.argv[1]), sys.argv[2]
    if shutil.which(age_path) is None:
        fail("the age tool %s is missing (scripts/install-deps installs it)" % age_path)
    age_path = shutil.which(age_path)
    os.environ["HOME"] = ROOT
    os.chdir(ROOT)
    for size in SIZES:
        plain = "plain-%d.bin" % size
        with open(plain, "wb") as out:
            out.write(os.urandom(size))
        # Ours, opened by age.
        ours = "ours-%d.AGE" % size
        result = veilor(veilor_path, "encrypt", plain, ours)
        if result.returncode != 0:
            fail("veilor encrypt %d: %s" % (size, result.stderr))
        with open(ours, "rb") as sealed:
            if not sealed.read().startswith(b"age-encryption.org/v1\n-> scrypt "):
                fail("veilor did not write age for %s" % ours)
        status, said = run_on_terminal([age_path, "-d", "-o", "by-age-%d.bin" % size, ours],
                                       PASSPHRASE)
        if status != 0:
            fail("age -d of our %d-byte file: %d %r" % (size, status, said))
        # age creates its output at the first byte it writes: none for an empty file.
        if size == 0 and not os.path.exists("by-age-0.bin"):
            open("by-age-0.bin", "wb").close()
        if open("by-age-%d.bin" % size, "rb").read() != open(plain, "rb").read():
            fail("age -d gave other bytes for %d" % size)
        # age's, opened by us, under a name that does not say age.
        theirs = "theirs-%d.kdf" % size
        status, said = run_on_terminal([age_path, "-p", "-o", theirs, plain], PASSPHRASE)
        if status != 0:
            fail("age -p of %d bytes: %d %r" % (size, status, said))
        result = veilor(veilor_path, "decrypt", theirs, "by-veilor-%d.bin" % size)
        if result.returncode != 0:
            fail("veilor decrypt of age's %d-byte file: %s" % (size, result.stderr))
        if open("by-veilor-%d.bin" % size, "rb").read() != open(plain, "rb").read():
            fail("veilor gave other bytes for age's %d-byte file" % size)

    # age's ASCII armor ("age -a") is read as well.
    status, said = run_on_terminal([age_path, "-p", "-a", "-o", "armored.txt", "plain-65537.bin"],
                                   PASSPHRASE)
    if status != 0:
        fail("age -p -a: %d %r" % (status, said))
    result = veilor(veilor_path, "decrypt", "armored.txt", "by-veilor-armored.bin")
    if result.returncode != 0:
        fail("veilor decrypt of an armored file: %s" % result.stderr)
    if open("by-veilor-armored.bin", "rb").read() != open("plain-65537.bin", "rb").read():
        fail("veilor gave other bytes for the armored file")

    # A wrong passphrase on age's file: the usual message, nothing written.
    result = veilor(veilor_path, "decrypt", "theirs-1.kdf", "wrong.bin", "not it")
    if result.returncode != 1 or result.stderr.strip() != b"Error: 64101 - Incorrect Password.":
        fail("wrong passphrase: %d %r" % (result.returncode, result.stderr))
    if os.path.exists("wrong.bin"):
        fail("a wrong passphrase wrote a file")
    os.chdir("/")
    shutil.rmtree(ROOT)
    print("PASS")


if __name__ == "__main__":
    try:
        main()
    finally:
        os.chdir("/")
        shutil.rmtree(ROOT, ignore_errors=True)
