#!/usr/bin/env python3
"""Writes the release page's text for a release folder that scripts/release
filled: the zip's SHA-256 with the command that checks it, the provenance
check, the Scoop line, where winget stands and where the Windows job's
pictures of this build are. The repository comes from the Scoop manifest,
which publishing has checked holds no placeholder.

usage: release_notes.py DIR [RUN-URL]   RUN-URL: the Actions run that tested
                                        and published this build
"""
import hashlib
import json
import os
import sys

import pack


def notes(folder, run_url):
    version = pack.read(os.path.join(pack.ROOT, "VERSION")).decode().strip()
    zip_name = f"plintor-rename-{version}-windows-x64.zip"
    digest = hashlib.sha256(pack.read(os.path.join(folder, zip_name))).hexdigest()
    base = json.loads(pack.read(os.path.join(folder, "plintor-rename.json")))["homepage"]
    repository = base.removeprefix("https://github.com/")
    run = f"the [Actions run]({run_url}) that published it" if run_url else "the Actions run that published it"
    return f"""Plintor Rename {version}, for 64-bit Windows 7, 8, 8.1, 10 and 11. See the [README]({base}#readme).

## Check the download

The SHA-256 of `{zip_name}` is:

    {digest}

In a command prompt, in the folder that holds the zip, run this. It must print that hash.

    certutil -hashfile {zip_name} SHA256

To check that this project's release workflow built the zip, use the GitHub CLI:

    gh attestation verify {zip_name} --repo {repository}

## Install with Scoop

    scoop install {base}/releases/latest/download/plintor-rename.json

That address always gives the newest release, and `scoop update plintor-rename` follows it.
This version alone is at `{base}/releases/download/v{version}/plintor-rename.json`.
Scoop then prints one command that adds the Explorer entry.

## winget

The winget manifests are attached as `plintor-rename-{version}-winget.zip`.
`winget install --id Plintor.PlintorRename` works once a person has submitted them to winget's community repository, microsoft/winget-pkgs.
Until then, use Scoop or the zip.

## Tested

This build passed the whole test suite on Windows Server 2022 and 2025, and under Wine on Debian 13, which built it, before it was published.
Debian 12 passed the same suite on a build of its own.
Pictures of its dialog on each Windows runner are in the artifacts `e2e-logs-windows-2022` and `e2e-logs-windows-2025` of {run}, under `pictures/`.
GitHub keeps them for 90 days.
"""


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    sys.stdout.write(notes(sys.argv[1], sys.argv[2] if len(sys.argv) == 3 else ""))


if __name__ == "__main__":
    main()
