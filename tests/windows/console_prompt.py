#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The console twin typed at an interactive Wine cmd prompt, on a terminal as
# a person has it: "zantrope" there finds zantrope.com, which cmd waits for.
# Its message shows before the next prompt, whole (UTF-16 to the console),
# and %ERRORLEVEL% holds its exit status. The names are outside the code
# page but within the 16-bit plane: Wine's terminal shows a character beyond
# it, such as an emoji, as two U+FFFD, whichever program writes it (test_cli
# checks those in redirected output).
#   console_prompt.py PROGRAM_FOLDER
import os
import pty
import re
import select
import subprocess
import sys
import tempfile
import time
import tty

program_folder = sys.argv[1]
work = tempfile.mkdtemp(prefix="zantrope-prompt-")


def windows_name(path):
    return "Z:" + path.replace("/", "\\")


with open(os.path.join(work, "a.mpg"), "wb") as f:
    f.write(b"a" * 5000)
with open(os.path.join(work, "c-\u65e5\u672c.mpg"), "wb") as f:
    f.write(b"c" * 3000)

main, terminal = pty.openpty()
# As a terminal emulator hands keys on: Enter as a carriage return, which a
# new pty's line discipline would turn into a line feed that Wine's console
# takes for a character of the line.
tty.setraw(terminal)
env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8", WINEDEBUG="-all")
env.pop("QT_QPA_PLATFORM", None)
cmd = subprocess.Popen(["wine", "cmd"], cwd=work, env=env, stdin=terminal, stdout=terminal, stderr=terminal,
                       start_new_session=True)
os.close(terminal)
seen = b""


def read_until(marker, limit=120):
    """Reads the terminal until marker has shown; what it showed, decoded."""
    global seen
    end = time.monotonic() + limit
    while marker.encode() not in seen:
        left = end - time.monotonic()
        if left <= 0 or cmd.poll() is not None:
            sys.exit("console_prompt: no %r on the terminal; it showed:\n%s" % (marker, seen.decode("utf-8", "replace")))
        ready, _, _ = select.select([main], [], [], left)
        if ready:
            try:
                seen += os.read(main, 4096)
            except OSError:
                pass
    shown, _, seen = seen.partition(marker.encode())
    # Without the terminal's escape sequences (cursor, title), which Wine's console writes between lines.
    return re.sub(r"\x1b\[[0-9;?]*[A-Za-z]|\x1b\][^\x07]*\x07", "", (shown + marker.encode()).decode("utf-8", "replace"))


def settle(quiet=2.0):
    """Reads the terminal until it has been quiet for a while: Wine's console
    may draw its first prompt twice, which would put every later answer one
    prompt behind."""
    global seen
    while select.select([main], [], [], quiet)[0]:
        try:
            seen += os.read(main, 4096)
        except OSError:
            break
    seen = b""


def type_line(line):
    os.write(main, (line + "\r").encode())


prompt = windows_name(work) + ">"
failures = []
try:
    read_until(prompt)
    type_line("set PATH=%s;%%PATH%%" % windows_name(program_folder))
    read_until(prompt)
    settle()

    # A failed join: the message comes before the next prompt, and the exit
    # status is %ERRORLEVEL%.
    type_line("zantrope --join out.mpg a.mpg missing.mpg")
    shown = read_until(prompt)
    if "zantrope: missing.mpg: File not found" not in shown:
        failures.append("no message before the next prompt:\n" + shown)
    type_line("echo status %ERRORLEVEL%")
    shown = read_until(prompt)
    if "status 1" not in shown:
        failures.append("%ERRORLEVEL% is not 1 after a failed join:\n" + shown)

    # A name outside the code page shows whole.
    type_line("zantrope --join out.mpg c-\u65e5\u672c.mpg gone-\u65e5\u672c.mpg")
    shown = read_until(prompt)
    if "zantrope: gone-\u65e5\u672c.mpg: File not found" not in shown:
        failures.append("the name did not show whole:\n" + shown)

    type_line("zantrope --join joined.mpg a.mpg c-\u65e5\u672c.mpg")
    read_until(prompt)
    type_line("echo status %ERRORLEVEL%")
    shown = read_until(prompt)
    if "status 0" not in shown:
        failures.append("%ERRORLEVEL% is not 0 after a join:\n" + shown)
    with open(os.path.join(work, "joined.mpg"), "rb") as f:
        if f.read() != b"a" * 5000 + b"c" * 3000:
            failures.append("joined.mpg does not hold both inputs")
    type_line("exit")
    cmd.wait(timeout=60)
finally:
    if cmd.poll() is None:
        os.killpg(cmd.pid, 9)
    subprocess.run(["rm", "-rf", work])

for failure in failures:
    print("console_prompt: " + failure)
sys.exit(1 if failures else 0)
