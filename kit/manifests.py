#!/usr/bin/env python3
"""Writes the package managers' manifests for a release zip that pack.py
made, beside it: plintor-rename.json for Scoop, and
plintor-rename-VERSION-winget.zip with the three winget manifests laid out as
the community repository keeps them. URLs are those of the GitHub release of
OWNER/REPO (GITHUB_REPOSITORY by default); without one they hold OWNER/REPO,
which publishing refuses.

usage: manifests.py ZIP [OWNER/REPO]
"""
import hashlib
import json
import os
import sys
import time

import pack

PLACEHOLDER = "OWNER/REPO"
DESCRIPTION = "Renames one file or folder in a small dialog, from Explorer's context menu or any program."
WINGET_ID = "Plintor.PlintorRename"
WINGET_MANIFEST_VERSION = "1.12.0"
NOTE_COMMAND = 'cmd /c call "$dir\\add-to-explorer.cmd"'


def scoop(version, base, zip_name, digest):
    return {
        "version": version,
        "description": DESCRIPTION,
        "homepage": base,
        "license": "MIT",
        "url": f"{base}/releases/download/v{version}/{zip_name}",
        "hash": digest,
        # Adding the Explorer entry stays the user's choice; $dir is the
        # "current" junction, which the entry keeps working through updates.
        # The command runs as printed in PowerShell, where a quoted path
        # alone would only be echoed, and in cmd. "call" keeps the quotes
        # whole, so that a path with blanks and parentheses survives cmd's
        # /c rule (which drops them when the path holds any of &<>()@^|).
        "notes": ["To add Plintor Rename... to the context menu of files and folders, run this in PowerShell or cmd:",
                  NOTE_COMMAND],
        "pre_uninstall": "if ($cmd -eq 'uninstall') { & \"$dir\\remove-from-explorer.cmd\" /q | Out-Null }",
        "checkver": "github",
        "autoupdate": {
            "url": f"{base}/releases/download/v$version/{zip_name.replace(version, '$version')}",
            "hash": {"url": "$baseurl/SHA256SUMS"},
        },
    }


def yaml(fields, kind):
    """A winget manifest: every scalar a JSON string, which YAML reads as
    the same string (so that 1.10 stays "1.10"); lists of mappings nested."""
    def lines(mapping, indent):
        for key, value in mapping.items():
            if isinstance(value, list):
                yield f"{indent}{key}:"
                for item in value:
                    first, *rest = lines(item, indent + "  ")
                    yield f"{indent}- {first.lstrip()}"
                    yield from rest
            else:
                yield f"{indent}{key}: {json.dumps(value)}"
    fields = dict(fields, ManifestType=kind, ManifestVersion=WINGET_MANIFEST_VERSION)
    # The community repository's validation requires this header.
    header = f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}.{WINGET_MANIFEST_VERSION}.schema.json"
    return ("\n".join([header, *lines(fields, "")]) + "\n").encode()


def winget(version, base, zip_name, digest):
    common = {"PackageIdentifier": WINGET_ID, "PackageVersion": version}
    folder = f"manifests/p/{WINGET_ID.replace('.', '/')}/{version}"
    return {
        f"{folder}/{WINGET_ID}.yaml": yaml(dict(common, DefaultLocale="en-US"), "version"),
        f"{folder}/{WINGET_ID}.installer.yaml": yaml(dict(
            common, InstallerType="zip", NestedInstallerType="portable",
            NestedInstallerFiles=[{"RelativeFilePath": "plintor-rename.exe"}],
            ReleaseDate=time.strftime("%Y-%m-%d", time.gmtime(pack.source_time())),
            Installers=[{"Architecture": "x64", "InstallerUrl": f"{base}/releases/download/v{version}/{zip_name}",
                         "InstallerSha256": digest.upper()}]), "installer"),
        f"{folder}/{WINGET_ID}.locale.en-US.yaml": yaml(dict(
            common, PackageLocale="en-US", Publisher="Plintor", PackageName="Plintor Rename", PackageUrl=base,
            License="MIT", LicenseUrl=f"{base}/blob/v{version}/LICENSE", ShortDescription=DESCRIPTION,
            ReleaseNotesUrl=f"{base}/releases/tag/v{version}"), "defaultLocale"),
    }


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    zip_path = sys.argv[1]
    repository = (sys.argv[2] if len(sys.argv) == 3 else os.environ.get("GITHUB_REPOSITORY")) or PLACEHOLDER
    base = f"https://github.com/{repository}"
    version = pack.read(os.path.join(pack.ROOT, "VERSION")).decode().strip()
    zip_name = os.path.basename(zip_path)
    digest = hashlib.sha256(pack.read(zip_path)).hexdigest()
    out = os.path.dirname(zip_path)
    with open(os.path.join(out, "plintor-rename.json"), "wb") as manifest:
        manifest.write((json.dumps(scoop(version, base, zip_name, digest), indent=4) + "\n").encode())
    pack.write_zip(os.path.join(out, f"plintor-rename-{version}-winget.zip"), winget(version, base, zip_name, digest))


if __name__ == "__main__":
    main()
