#!/usr/bin/env python3
"""Packs the release from a built executable: OUT-DIR gets
plintor-rename-VERSION-windows-x64.zip and SHA256SUMS. The same commit gives
the same bytes: entries sorted, stamped with the last commit's time (or
SOURCE_DATE_EPOCH), fixed attributes and compression.

usage: pack.py EXE OUT-DIR
"""
import hashlib
import os
import subprocess
import sys
import time
import zipfile

KIT = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(KIT)
DOS_EPOCH = 315532800  # 1980-01-01, the earliest time a zip entry can hold
FILE_ATTRIBUTE_ARCHIVE = 0x20


def read(path):
    with open(path, "rb") as f:
        return f.read()


def crlf(text):
    """Windows line ends, whatever the checkout gave."""
    return text.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def source_time():
    if "SOURCE_DATE_EPOCH" in os.environ:
        return int(os.environ["SOURCE_DATE_EPOCH"])
    return int(subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], stdout=subprocess.PIPE,
                              stdin=subprocess.DEVNULL, check=True, text=True).stdout)


def write_zip(path, files):
    """A zip of these names and bytes that the same commit makes byte for byte."""
    stamp = time.gmtime(max(source_time(), DOS_EPOCH))[:6]
    with zipfile.ZipFile(path, "w") as archive:
        for entry, data in sorted(files.items()):
            info = zipfile.ZipInfo(entry, date_time=stamp)
            info.create_system = 0  # attributes are MS-DOS ones
            info.external_attr = FILE_ATTRIBUTE_ARCHIVE
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)


def contents(exe, version):
    return {
        "plintor-rename.exe": read(exe),
        "README.txt": crlf(read(os.path.join(KIT, "README.txt")).replace(b"@VERSION@", version.encode())),
        "LICENSE.txt": crlf(read(os.path.join(ROOT, "LICENSE"))),
        "add-to-explorer.cmd": crlf(read(os.path.join(KIT, "add-to-explorer.cmd"))),
        "remove-from-explorer.cmd": crlf(read(os.path.join(KIT, "remove-from-explorer.cmd"))),
    }


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    exe, out = sys.argv[1:]
    version = read(os.path.join(ROOT, "VERSION")).decode().strip()
    name = f"plintor-rename-{version}-windows-x64.zip"
    os.makedirs(out, exist_ok=True)
    path = os.path.join(out, name)
    write_zip(path, contents(exe, version))
    digest = hashlib.sha256(read(path)).hexdigest()
    # As bytes: Python on Windows would write text with CRLF.
    with open(os.path.join(out, "SHA256SUMS"), "wb") as sums:
        sums.write(f"{digest}  {name}\n".encode())
    print(path)


if __name__ == "__main__":
    main()
