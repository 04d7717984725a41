"""Hostile input: none of it may crash the tool, rename anything it was not
asked to, or end it with a status other than 0."""

import os

from harness import *


LINE_LIMIT = 32766  # characters of a Windows command line, less the NUL


def case_line_at_the_length_limit(run):
    """A command line of 32,766 characters: the first argument is still the target."""
    target = run.make("report.txt", b"r\n")
    line = tool_line(quoted(target))
    line += b" x" * ((LINE_LIMIT - len(line)) // 2)
    line += b"y" * (LINE_LIMIT - len(line))
    expect_equal(len(line), LINE_LIMIT, "line length")
    run.start(line)
    expect_equal(run.dialog()["edit"], b"report.txt", "edit text")
    rename_and_expect(run, "new.txt", {"new.txt": b"r\n"})


def case_first_argument_over_4096_bytes(run):
    """A first argument of the whole line's length is cut to 4,096 bytes, its
    rest is not read as more arguments, and the rename is refused with
    error 206's text."""
    run.make("report.txt", b"r\n")
    before = run.listing()
    folder = windows_path(run.work).encode() + b"\\"
    line = TOOL + b" " + folder
    line += b"a" * (LINE_LIMIT - len(line))
    run.start(line)
    d = run.dialog()
    expect_equal(d["edit"], b"a" * (4096 - len(folder)), "edit text: the argument's first 4,096 bytes")
    run.type("new.txt")
    run.keys("Return")
    # Refused by the tool itself, whatever the cut names: a name too long.
    expect_refused(run, "new.txt", [206])
    run.keys("Escape")
    status, _ = run.finish()
    expect_unchanged(run, before, status)


def case_control_characters_separate_outside_quotes(run):
    """Control characters end an unquoted argument; the rest is a further argument."""
    target = run.make("report.txt", b"r\n")
    run.make("rest", b"keep\n")
    run.start(TOOL + b" " + windows_path(target).encode() + b"\x07rest\x1b\x01")
    expect_equal(run.dialog()["edit"], b"report.txt", "edit text")
    rename_and_expect(run, "new.txt", {"new.txt": b"r\n", "rest": b"keep\n"})


def case_control_characters_inside_quotes(run):
    """Inside quotes control characters belong to the name; no such file can
    exist on Windows, so the rename is refused."""
    run.make("a.txt")
    run.make("b.txt")
    before = run.listing()
    run.start(TOOL + b' "' + windows_path(run.path("a.txt")).encode() + b'\x01\tb.txt"')
    expect_equal(run.dialog()["edit"], b"a.txt\x01\tb.txt", "edit text")
    run.type("c.txt")
    run.keys("Return")
    expect_refused(run, "c.txt", [2, 123])  # not found, or (Windows) no such name
    run.keys("Escape")
    status, _ = run.finish()
    expect_unchanged(run, before, status)


def case_upper_half_bytes_in_the_path(run):
    """Bytes 0x80 to 0xFF of the caller's code page (1252) name the file."""
    raw = bytes(b for b in range(0x80, 0x100, 3) if b not in (0x81, 0x8D, 0x8F, 0x90, 0x9D))
    name = raw.decode("cp1252") + ".txt"
    target = run.make(name, b"h\n")
    run.start(tool_line(b'"' + windows_path(run.work).encode() + b"\\" + raw + b'.txt"'))
    d = run.dialog()
    expect_equal(d["edit"].decode(), name, "edit text")
    expect_equal(d["prompt"].decode(), f'Rename "{name}" to:', "prompt")
    rename_and_expect(run, "plain.txt", {"plain.txt": b"h\n"})
    check(not os.path.exists(target), "the old name is gone")
