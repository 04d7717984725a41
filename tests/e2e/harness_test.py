#!/usr/bin/env python3
"""The harness keeps a failed case's evidence whatever the locale's encoding:
run with a one-byte one (LC_ALL=C without UTF-8 mode), a failure whose
message names a file in Japanese must still leave its log and screenshot.
Stands alone: a fake backend "takes" the screenshot."""
import os
import sys
import tempfile

import harness

SHOT = "import sys; open(sys.argv[-1], 'wb').close()"  # the probe's screenshot, faked


class FakeBackend:
    native = True

    def command(self, program, *args):
        return [sys.executable, "-c", SHOT, program, *args]

    def windows_path(self, path):
        return path

    def environment(self):
        return dict(os.environ)

    def trace(self):
        return {}

    def without_trace(self, printed):
        return printed

    def status_text(self, status):
        return str(status)

    def running(self):
        return False

    def take_down(self):
        pass


NAME = "\u65e5\u672c\u8a9e\u306e\u30e1\u30e2\U0001F600.txt"


def fails_naming_a_file(run):
    """(fails on purpose, naming a file outside any one-byte code page)"""
    raise OSError(f"cannot rename {NAME}")


def main():
    harness.prepare_console()
    harness.BACKEND = FakeBackend()
    with tempfile.TemporaryDirectory() as build:
        session = harness.Session(build)
        os.makedirs(session.state_dir)
        logs = os.path.join(build, "logs")
        outcome = harness.run_case(session, "fails_naming_a_file", fails_naming_a_file, logs)
        log = os.path.join(logs, "fails_naming_a_file.log")
        problems = [f"outcome {outcome!r}, not 'failed'"] if outcome != "failed" else []
        if not os.path.exists(log) or NAME.encode() not in harness.read(log):
            problems.append("the log does not hold the message in UTF-8")
        if not os.path.exists(os.path.join(logs, "fails_naming_a_file.png")):
            problems.append("no screenshot")
    print("\n".join(problems) or f"evidence kept under the encoding {sys.getfilesystemencoding()}/"
          f"{__import__('locale').getpreferredencoding(False)}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
