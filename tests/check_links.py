#!/usr/bin/env python3
"""Checks that the documentation names only what exists: every relative
link and image path in README.md, docs/*.md and kit/README.txt (and the
heading that a link's #anchor names), and every scripts/... or tests/...
path that they mention.

usage: check_links.py SOURCE-DIR
Prints FILE:LINE: what is missing, one line each; exits 1 on any."""
import glob
import os
import re
import sys

LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
# A path of the tree, with / or Windows' \, ending in a word character.
TREE_PATH = re.compile(r"(?<![\w./\\-])((?:scripts|tests)[/\\][\w./\\-]*\w)")


def anchors(path):
    """GitHub's anchors for a Markdown file's headings."""
    found = set()
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#"):
                title = line.lstrip("#").strip().lower()
                found.add(re.sub(r"[^\w\- ]", "", title).replace(" ", "-"))
    return found


def check(root, path):
    """The missing targets of one file, as 'FILE:LINE: ...' lines."""
    missing = []
    name = os.path.relpath(path, root)
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    for number, line in enumerate(lines, 1):
        for target in LINK.findall(line) if path.endswith(".md") else ():
            if re.match(r"^[a-z]+:", target) or target.startswith("#"):
                continue
            file, _, anchor = target.partition("#")
            full = os.path.normpath(os.path.join(os.path.dirname(path), file))
            if not os.path.exists(full):
                missing.append(f"{name}:{number}: no file {target}")
            elif anchor and full.endswith(".md") and anchor not in anchors(full):
                missing.append(f"{name}:{number}: no heading #{anchor} in {file}")
        for mentioned in TREE_PATH.findall(line):
            if not os.path.exists(os.path.join(root, *re.split(r"[/\\]", mentioned))):
                missing.append(f"{name}:{number}: no {mentioned} in the tree")
    return missing


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    root = os.path.abspath(sys.argv[1])
    files = [os.path.join(root, "README.md"), os.path.join(root, "kit", "README.txt")]
    files += sorted(glob.glob(os.path.join(root, "docs", "*.md")))
    missing = [line for path in files for line in check(root, path)]
    print("\n".join(missing + [f"documentation links: {len(files)} files, {len(missing)} missing"]))
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
