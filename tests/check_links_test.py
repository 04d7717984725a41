#!/usr/bin/env python3
"""The documentation's check fails where it must: in a small tree of its
own, a missing path in backticks and a command whose script has no run bit
are each reported; a path and a command that work are not."""
import os
import sys
import tempfile

import check_links

DOC = """# Notes

Read `win/dialog.cpp` and `win/gone.cpp`.

    scripts/run-me ARG
    scripts/read-me ARG
    python3 scripts/read-me ARG
"""


def main():
    with tempfile.TemporaryDirectory() as root:
        for name, mode in (("win/dialog.cpp", 0o644), ("scripts/run-me", 0o755), ("scripts/read-me", 0o644)):
            os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
            open(os.path.join(root, name), "w").close()
            os.chmod(os.path.join(root, name), mode)
        with open(os.path.join(root, "README.md"), "w", encoding="utf-8") as f:
            f.write(DOC)
        found = check_links.check(root, os.path.join(root, "README.md"), {"win", "scripts"})
    expected = ["README.md:3: no win/gone.cpp in the tree",
                "README.md:6: scripts/read-me has no run bit: start it with python3 (or bash)"]
    if found != expected:
        print(f"expected {expected}, found {found}")
        return 1
    print("the documentation's check reports exactly the two faults")
    return 0


if __name__ == "__main__":
    sys.exit(main())
