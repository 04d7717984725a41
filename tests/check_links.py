#!/usr/bin/env python3
"""Checks that the documentation names only what exists: every relative
link and image path in README.md, docs/*.md and kit/README.txt (and the
heading that a link's #anchor names), every scripts/... or tests/... path
that they mention, and every repository path in backticks or in a code
block. A command there that starts with a repository script must be able to
run as printed: the script has its run bit, or python3 (or bash) starts it.

usage: check_links.py SOURCE-DIR
Prints FILE:LINE: what is wrong, one line each; exits 1 on any."""
import glob
import os
import re
import subprocess
import sys

LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
# A path of the tree, with / or Windows' \, ending in a word character.
TREE_PATH = re.compile(r"(?<![\w./\\-])((?:scripts|tests)[/\\][\w./\\-]*\w)")
CODE_SPAN = re.compile(r"`([^`]+)`")
PUNCTUATION = "'\"()[],;:"


def anchors(path):
    """GitHub's anchors for a Markdown file's headings."""
    found = set()
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#"):
                title = line.lstrip("#").strip().lower()
                found.add(re.sub(r"[^\w\- ]", "", title).replace(" ", "-"))
    return found


def top_folders(root):
    """The repository's top-level folders: git's where it can tell, so that
    build/ and the like never count; else those on disk."""
    listed = subprocess.run(["git", "-C", root, "ls-files"], capture_output=True, text=True)
    if listed.returncode == 0 and listed.stdout:
        return {line.split("/")[0] for line in listed.stdout.splitlines() if "/" in line}
    return {name for name in os.listdir(root) if os.path.isdir(os.path.join(root, name))} - {"build", "dist", ".git"}


def code(path, lines):
    """(line number, text, whole) for each code span, and each line of a code
    block (whole: a command however many words it has)."""
    fenced = False
    for number, line in enumerate(lines, 1):
        if line.lstrip().startswith("```"):
            fenced = not fenced
            continue
        if path.endswith(".md") and (fenced or line.startswith("    ")):
            yield number, line.strip(), True
        else:
            for span in CODE_SPAN.findall(line) if path.endswith(".md") else ():
                yield number, span, False


def repository_path(root, folders, token):
    """The token's path in the tree when it names one (its first part a
    top-level folder; an ellipsis stands for any), else None."""
    parts = re.split(r"[/\\]", token.strip(PUNCTUATION))
    named = len(parts) > 1 and parts[0] in folders and "\u2026" not in token
    return os.path.join(root, *parts) if named else None


def code_problems(root, folders, path, lines):
    problems = []
    for number, text, whole in code(path, lines):
        tokens = text.split()
        for token in tokens:
            full = repository_path(root, folders, token)
            if full and not (glob.glob(full) if any(c in full for c in "*?") else os.path.exists(full)):
                problems.append(f"{number}: no {token.strip(PUNCTUATION)} in the tree")
        # A lone path in backticks names a file; with words after it, or
        # in a code block, it is a command.
        script = repository_path(root, folders, tokens[0]) if tokens and (whole or len(tokens) > 1) else None
        if script and os.path.isfile(script) and not os.stat(script).st_mode & 0o111:
            problems.append(f"{number}: {tokens[0]} has no run bit: start it with python3 (or bash)")
    return problems


def check(root, path, folders):
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
            # Above the repository's root: GitHub's own pages, such as
            # ../../releases from the README.
            if not full.startswith(root + os.sep):
                continue
            if not os.path.exists(full):
                missing.append(f"{name}:{number}: no file {target}")
            elif anchor and full.endswith(".md") and anchor not in anchors(full):
                missing.append(f"{name}:{number}: no heading #{anchor} in {file}")
        for mentioned in TREE_PATH.findall(line):
            if not os.path.exists(os.path.join(root, *re.split(r"[/\\]", mentioned))):
                missing.append(f"{name}:{number}: no {mentioned} in the tree")
    missing += [f"{name}:{problem}" for problem in code_problems(root, folders, path, lines)]
    return missing


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    root = os.path.abspath(sys.argv[1])
    folders = top_folders(root)
    files = [os.path.join(root, "README.md"), os.path.join(root, "kit", "README.txt")]
    files += sorted(glob.glob(os.path.join(root, "docs", "*.md")))
    missing = sorted(set(line for path in files for line in check(root, path, folders)),
                     key=lambda line: (line.split(":")[0], int(line.split(":")[1])))
    print("\n".join(missing + [f"documentation: {len(files)} files, {len(missing)} problems"]))
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
