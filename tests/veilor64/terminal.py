"""Runs a command on a pseudo-terminal and answers its passphrase prompts, as a
person would: veilor asks there by default, and the age tool asks nowhere else."""
import os
import pty
import select
import sys
import time


def fail(message):
    """Ends the test; the callers' own clean-up runs on the way out."""
    print("FAIL: " + message)
    sys.exit(1)


def run_on_terminal(argv, answers, timeout=60, seen=None, prompt=b"Passphrase",
                    ignore_case=False):
    """Runs argv on a new pseudo-terminal and gives the next answer at each new prompt
    (`answers` a list; a single text answers every prompt). A prompt is an occurrence
    of `prompt` in what the program said. seen(pid) is called at the first prompt,
    while the process waits. Returns the exit status, what was said and how many
    prompts were answered; fails when a list runs out of answers or on timeout."""
    pid, master = pty.fork()
    if pid == 0:
        try:
            os.execv(argv[0], argv)
        finally:
            os._exit(127)
    output = b""
    answered = 0
    deadline = time.monotonic() + timeout

    def stop(message):
        os.kill(pid, 9)
        os.waitpid(pid, 0)
        fail(message)

    while True:
        if time.monotonic() > deadline:
            stop("%s timed out; it said %r" % (argv, output))
        ready, _, _ = select.select([master], [], [], 1.0)
        if not ready:
            continue
        try:
            chunk = os.read(master, 4096)
        except OSError:  # the terminal closes when the program ends
            break
        if not chunk:
            break
        output += chunk
        said = output.lower() if ignore_case else output
        prompts = said.count(prompt.lower() if ignore_case else prompt)
        if prompts > answered and answered == 0 and seen is not None:
            seen(pid)
        while prompts > answered:
            if isinstance(answers, str):
                answer = answers
            elif answered < len(answers):
                answer = answers[answered]
            else:
                stop("%s asked %d times; it said %r" % (argv, prompts, output))
            os.write(master, answer.encode() + b"\r")
            answered += 1
    os.close(master)
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status), output, answered
