"""The release kit: the zip as scripts/release packs it, unpacked into
folders with names that cmd is treacherous about."""

import hashlib
import json
import os
import re
import subprocess
import sys
import zipfile

import harness
from harness import *


KIT_FILES = ["LICENSE.txt", "README.txt", "add-to-explorer.cmd", "plintor-rename.exe", "remove-from-explorer.cmd"]
MENU_KEY = "HKCU\\Software\\Classes\\AllFilesystemObjects\\shell\\PlintorRename"
NEIGHBOUR_KEY = "HKCU\\Software\\Classes\\AllFilesystemObjects\\shell\\PlintorNeighbour"
# Wine's shell reads verbs only from an extension's class under
# HKEY_CLASSES_ROOT; the test puts the entry's command there.
TEST_EXTENSION = ".plintortest"
TEST_CLASS_NAME = "PlintorTest.File"


def classes(name):
    """A key of the user's own classes: on Windows under HKCU, where writing
    needs no administrator and leaves nothing machine-wide (a new key
    written through HKCR lands in HKLM); under Wine through HKCR, the only
    place where its shell reads them."""
    return ("HKCU\\Software\\Classes\\" if harness.BACKEND.native else "HKCR\\") + name
CMD = "C:\\windows\\system32\\cmd.exe"


def pack(run, out):
    """Packs the release into out; returns the zip's path."""
    subprocess.run([sys.executable, os.path.join(ROOT, "kit", "pack.py"),
                    os.path.join(run.build, "plintor-rename.exe"), out],
                   check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    zips = [name for name in os.listdir(out) if name.endswith(".zip")]
    check(len(zips) == 1, f"expected one zip, found {zips}")
    return os.path.join(out, zips[0])


def case_release_zip_reproducible_and_complete(run):
    """Two packings give the same bytes: exactly the five files, the built
    executable, the licence, Windows line ends, ASCII scripts, a matching sum."""
    first = pack(run, os.path.join(run.dir, "first"))
    second = pack(run, os.path.join(run.dir, "second"))
    version = read(os.path.join(ROOT, "VERSION")).decode().strip()
    expect_equal(os.path.basename(first), f"plintor-rename-{version}-windows-x64.zip", "zip name")
    check(read(first) == read(second), "two packings gave different bytes")
    with zipfile.ZipFile(first) as archive:
        expect_equal(archive.namelist(), KIT_FILES, "zip entries, in order")
        check(archive.read("plintor-rename.exe") == read(os.path.join(run.build, "plintor-rename.exe")),
              "the zip's executable is not the built one")
        expect_equal(archive.read("LICENSE.txt").replace(b"\r\n", b"\n"), read(os.path.join(ROOT, "LICENSE")),
                     "LICENSE.txt")
        # Every text file with Windows line ends: Notepad before Windows 10
        # version 1809 shows a file with bare line feeds as one line.
        for name in ("LICENSE.txt", "README.txt", "add-to-explorer.cmd", "remove-from-explorer.cmd"):
            text = archive.read(name)
            check(text.endswith(b"\r\n") and b"\n" not in text.replace(b"\r\n", b""), f"{name}: not CRLF")
            check(name == "README.txt" or text.isascii(), f"{name}: not ASCII")
    # Bytes, not text: the same file on every system, whatever its line ends.
    expect_equal(read(os.path.join(run.dir, "first", "SHA256SUMS")),
                 f"{hashlib.sha256(read(first)).hexdigest()}  {os.path.basename(first)}\n".encode(), "SHA256SUMS")


def case_package_manifests_match_the_zip(run):
    """The Scoop and winget manifests that scripts/release wrote beside the
    zip: its version, URL and hash, the fields each package manager needs,
    and for Scoop no command or shortcut, the Explorer entry left to the user
    and taken away on uninstalling."""
    import yaml  # Debian's python3-yaml; PyYAML on Windows
    release = os.path.join(ROOT, "build", "release")
    version = read(os.path.join(ROOT, "VERSION")).decode().strip()
    zip_name = f"plintor-rename-{version}-windows-x64.zip"
    check(os.path.exists(os.path.join(release, zip_name)), f"no {zip_name} in {release}: run scripts/release")
    digest = hashlib.sha256(read(os.path.join(release, zip_name))).hexdigest()
    scoop = json.loads(read(os.path.join(release, "plintor-rename.json")))
    missing = {"version", "description", "homepage", "license", "url", "hash", "notes", "pre_uninstall",
               "checkver", "autoupdate"} - set(scoop)
    check(not missing and not {"bin", "shortcuts"} & set(scoop), f"Scoop manifest fields: {sorted(scoop)}")
    expect_equal([scoop["version"], scoop["hash"], scoop["license"], scoop["checkver"]],
                 [version, digest, "MIT", "github"], "Scoop version, hash, licence, checkver")
    check(scoop["url"] == f"{scoop['homepage']}/releases/download/v{version}/{zip_name}", f"Scoop url {scoop['url']}")
    expect_equal(scoop["autoupdate"], {"url": scoop["url"].replace(version, "$version"),
                                       "hash": {"url": "$baseurl/SHA256SUMS"}}, "Scoop autoupdate")
    expect_equal(scoop["notes"][-1], 'cmd /c call "$dir\\add-to-explorer.cmd"', "the command in Scoop's notes")
    check("$cmd -eq 'uninstall'" in scoop["pre_uninstall"] and '\\remove-from-explorer.cmd" /q' in
          scoop["pre_uninstall"], f"Scoop pre_uninstall: {scoop['pre_uninstall']}")

    folder = f"manifests/p/Plintor/PlintorRename/{version}/Plintor.PlintorRename"
    with zipfile.ZipFile(os.path.join(release, f"plintor-rename-{version}-winget.zip")) as archive:
        expect_equal(archive.namelist(), [folder + suffix for suffix in (".installer.yaml", ".locale.en-US.yaml",
                                                                        ".yaml")], "winget zip entries")
        texts = [archive.read(name) for name in archive.namelist()]
    installer, locale, version_file = (yaml.safe_load(text) for text in texts)
    for text, manifest, kind in zip(texts, (installer, locale, version_file), ("installer", "defaultLocale", "version")):
        expect_equal(text.split(b"\n")[0].decode(),
                     f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}.1.12.0.schema.json",
                     f"the {kind} manifest's schema header")
        expect_equal([manifest.get(key) for key in ("PackageIdentifier", "PackageVersion", "ManifestType",
                                                    "ManifestVersion")],
                     ["Plintor.PlintorRename", version, kind, "1.12.0"], f"the {kind} manifest's identity")
    expect_equal(version_file["DefaultLocale"], "en-US", "default locale")
    expect_equal([installer.get(key) for key in ("InstallerType", "NestedInstallerType", "NestedInstallerFiles")],
                 ["zip", "portable", [{"RelativeFilePath": "plintor-rename.exe"}]], "winget installer type")
    with zipfile.ZipFile(os.path.join(release, zip_name)) as archive:
        check("plintor-rename.exe" in archive.namelist(), "the nested installer file is not in the zip")
    check(re.fullmatch(r"\d{4}-\d{2}-\d{2}", str(installer.get("ReleaseDate"))), f"ReleaseDate {installer.get('ReleaseDate')}")
    expect_equal(installer["Installers"], [{"Architecture": "x64", "InstallerUrl": scoop["url"],
                                            "InstallerSha256": digest.upper()}], "winget installers")
    expect_equal([locale.get(key) for key in ("Publisher", "PackageName", "License", "ReleaseNotesUrl")],
                 ["Plintor", "Plintor Rename", "MIT", f"{scoop['homepage']}/releases/tag/v{version}"], "winget locale")
    check(locale.get("ShortDescription"), "winget ShortDescription")


def unpack_kit(run, folder):
    """Unpacks the release zip into a folder of run.dir (not of the listed
    work folder); returns the folder's path."""
    path = os.path.join(run.dir, "My Apps", folder)
    with zipfile.ZipFile(pack(run, os.path.join(run.dir, "dist"))) as archive:
        archive.extractall(path)
    return path


def run_kit_script(run, folder, script, status="0", output=None, env=None):
    """Runs a kit script with /q as Explorer runs a double-clicked batch file,
    its output into the file output if given."""
    into = f' >"{windows_path(output)}"' if output else ""
    run.start(f'cmd.exe /c ""{windows_path(os.path.join(folder, script))}" /q{into}"'.encode(), program=CMD,
              utf8=True, env=env)
    expect_equal(run.finish()[0], status, f"{script} exit status")


def menu_entry(run):
    return run.registry(MENU_KEY, "", MENU_KEY, "Icon", MENU_KEY, "MultiSelectModel", MENU_KEY + "\\command", "")


def expected_menu_entry(folder):
    exe = windows_path(os.path.join(folder, "plintor-rename.exe"))
    return ["value Plintor Rename...", f'value "{exe}",0', "value Single", f'value "{exe}" "%1"']


def with_clean_registry(case):
    def wrapped(run):
        try:
            case(run)
        finally:
            for key in (MENU_KEY, NEIGHBOUR_KEY, classes(TEST_EXTENSION), classes(TEST_CLASS_NAME)):
                run.program("reg", "delete", key, "/f").wait(60)
    wrapped.__doc__ = case.__doc__
    return wrapped


@with_clean_registry
def case_explorer_entry_added_used_and_removed(run):
    """From a folder named with blanks, an ampersand, parentheses and an
    accent: the entry's values byte for byte; its command run through the
    shell renames a file with blanks; removal takes that key and no other."""
    folder = unpack_kit(run, "Tools & Utils (x86) caf\u00e9")
    run.reg("add", NEIGHBOUR_KEY + "\\command", "/ve", "/d", "neighbour.exe", "/f")
    run_kit_script(run, folder, "add-to-explorer.cmd")
    entry = menu_entry(run)
    expect_equal(entry, expected_menu_entry(folder), "the entry's values")

    command = entry[3][len("value "):]
    verb = classes(TEST_CLASS_NAME) + "\\shell\\PlintorRename\\command"
    run.reg("add", classes(TEST_EXTENSION), "/ve", "/d", TEST_CLASS_NAME, "/f")
    run.reg("add", verb, "/ve", "/d", command, "/f")
    expect_equal(run.registry(verb, ""), [f"value {command}"], "the command as registered for the shell")
    run.make("Quarterly report" + TEST_EXTENSION, b"q\n")
    run.start_through_shell("PlintorRename", run.path("Quarterly report" + TEST_EXTENSION))
    expect_equal(run.dialog()["edit"].decode(), "Quarterly report" + TEST_EXTENSION, "edit text")
    rename_and_expect(run, "Annual report.txt", {"Annual report.txt": b"q\n"})

    run_kit_script(run, folder, "remove-from-explorer.cmd")
    expect_equal(menu_entry(run), ["no-key"] * 4, "the entry after removal")
    expect_equal(run.registry(NEIGHBOUR_KEY + "\\command", ""), ["value neighbour.exe"], "the neighbouring entry")
    run_kit_script(run, folder, "remove-from-explorer.cmd")  # nothing left to remove is no failure


@with_clean_registry
def case_scoop_note_runs_as_printed(run):
    """The command that Scoop's notes print, with $dir filled in as Scoop
    does (here a folder named with blanks, parentheses and an ampersand),
    run as printed in cmd, adds the entry and ends without waiting for a
    key. (On Windows the job runs it in PowerShell too.)"""
    release = os.path.join(ROOT, "build", "release")
    check(os.path.exists(os.path.join(release, "plintor-rename.json")), f"no Scoop manifest in {release}")
    note = json.loads(read(os.path.join(release, "plintor-rename.json")))["notes"][-1]
    folder = unpack_kit(run, "scoop apps (x64) & co")
    run.start(f'cmd.exe /d /s /c "{note.replace("$dir", windows_path(folder))}"'.encode(), program=CMD, utf8=True)
    expect_equal(run.finish()[0], "0", "exit status")
    expect_equal(menu_entry(run), expected_menu_entry(folder), "the entry's values")


@with_clean_registry
def case_explorer_entry_follows_a_moved_folder(run):
    """Run again after the folder moved (to a name with an exclamation mark
    and carets), the script points the entry at the new place."""
    # Wine's cmd drops a percent sign from the script's own path (%0, %~dp0)
    # and expands the text that an expansion produced; Windows does neither,
    # so the refusal of a folder with a percent sign is tried there only.
    old = unpack_kit(run, "Tools & Utils (x86) caf\u00e9")
    run_kit_script(run, old, "add-to-explorer.cmd")
    new = os.path.join(run.dir, "My Apps", "Sure! ^_^ (x64)")
    os.rename(old, new)
    run_kit_script(run, new, "add-to-explorer.cmd")
    expect_equal(menu_entry(run), expected_menu_entry(new), "the entry's values after the move")


@windows_only("Wine's shell reads no verbs from AllFilesystemObjects")
@with_clean_registry
def case_explorer_entry_as_explorer_uses_it(run):
    """From a folder named with an ampersand, parentheses, an accent and an
    exclamation mark: the entry's values byte for byte; the shell runs the
    verb straight from AllFilesystemObjects on a file with blanks and it
    renames the file; after removal the shell has no such verb."""
    folder = unpack_kit(run, "Tools & Co (x86) caf\u00e9!")
    run_kit_script(run, folder, "add-to-explorer.cmd")
    expect_equal(menu_entry(run), expected_menu_entry(folder), "the entry's values")
    run.start_through_shell("PlintorRename", run.make("Quarterly report.txt", b"q\n"))
    expect_equal(run.dialog()["edit"], b"Quarterly report.txt", "edit text")
    rename_and_expect(run, "Annual report.txt", {"Annual report.txt": b"q\n"})
    run_kit_script(run, folder, "remove-from-explorer.cmd")
    expect_equal(menu_entry(run), ["no-key"] * 4, "the entry after removal")
    run.start_through_shell("PlintorRename", run.path("Annual report.txt"))
    expect_equal(run.launcher.wait(60), NOT_STARTED, "the launcher's status (the shell refused the verb)")


@windows_only("Wine's cmd drops a percent sign from a script's own path before the script can see it")
@with_clean_registry
def case_add_script_refuses_a_percent_folder(run):
    """From a folder whose path holds a percent sign, which the shell would
    read as its own marker in the entry's command, add-to-explorer.cmd
    writes nothing, says why in one line and exits 1."""
    folder = unpack_kit(run, "100% Tools")
    said = os.path.join(run.dir, "said.txt")
    run_kit_script(run, folder, "add-to-explorer.cmd", status="1", output=said)
    expect_equal(menu_entry(run), ["no-key"] * 4, "the entry")
    lines = read(said).decode(errors="replace").splitlines()
    check(len(lines) == 1 and "percent sign" in lines[0], f"expected one line naming the percent sign: {lines!r}")


def powershell7_module_path():
    """PSModulePath as PowerShell 7 leaves it to the programs it starts: its
    own real value where pwsh is at hand, else the same layout, PowerShell
    7's module folders before Windows PowerShell's."""
    try:
        value = subprocess.run(["pwsh", "-NoProfile", "-Command", "$env:PSModulePath"], capture_output=True,
                               text=True, stdin=subprocess.DEVNULL, timeout=120).stdout.strip()
    except (OSError, subprocess.TimeoutExpired):
        value = ""
    if not value:
        home, programs = os.environ["USERPROFILE"], os.environ["ProgramFiles"]
        value = ";".join([home + r"\Documents\PowerShell\Modules", programs + r"\PowerShell\Modules",
                          programs + r"\PowerShell\7\Modules", programs + r"\WindowsPowerShell\Modules",
                          os.environ["SystemRoot"] + r"\system32\WindowsPowerShell\v1.0\Modules"])
    folders = [folder.lower().rstrip("\\") for folder in value.split(";") if folder]
    own = [i for i, folder in enumerate(folders) if folder.endswith((r"\powershell\modules", r"\powershell\7\modules"))]
    windows = [i for i, folder in enumerate(folders) if r"\windowspowershell" in folder]
    check(own and (not windows or own[0] < windows[0]),
          f"PSModulePath does not name PowerShell 7's module folders before Windows PowerShell's: {value}")
    return value


@windows_only("Wine's files have no alternate data streams, and its powershell.exe is a stub")
@with_clean_registry
def case_add_script_clears_the_download_mark(run):
    """add-to-explorer.cmd, started with the PSModulePath that PowerShell 7
    leaves to its children, clears the mark of the web from the executable
    beside it, and from no other file."""
    folder = unpack_kit(run, "Downloads")
    mark = b"[ZoneTransfer]\r\nZoneId=3\r\n"
    for name in ("plintor-rename.exe", "README.txt"):
        with open(os.path.join(folder, name + ":Zone.Identifier"), "wb") as f:
            f.write(mark)
    # Python's environment keys are upper-case on Windows.
    run_kit_script(run, folder, "add-to-explorer.cmd", env={"PSMODULEPATH": powershell7_module_path()})
    check(not os.path.exists(os.path.join(folder, "plintor-rename.exe:Zone.Identifier")),
          "the executable still carries the mark")
    expect_equal(read(os.path.join(folder, "README.txt:Zone.Identifier")), mark, "the README's mark")
