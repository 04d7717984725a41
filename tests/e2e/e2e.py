#!/usr/bin/env python3
"""End-to-end tests of plintor-rename.exe: the real executable, started with
exact raw command lines, read through a Windows-side probe and driven by it
with real key presses and mouse clicks (SendInput). On Linux it runs under
Wine on a virtual X display with a window manager; on Windows, natively.

usage: e2e.py BUILD-DIR start        set the session up (Xvfb, openbox and
                                     the wineserver under Wine)
       e2e.py BUILD-DIR stop         take it down
       e2e.py BUILD-DIR run CASE     run one case
       e2e.py BUILD-DIR list         list the cases
       e2e.py BUILD-DIR display      print the started session's display
       e2e.py BUILD-DIR all          set up, run the unit tests, the resource
                                     test and every case, take down; ends
                                     with "N passed, N failed, N skipped"
"""
import hashlib
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
WINE_ENV = os.path.join(ROOT, "scripts", "wine-env")
TOOL = b'"C:\\Program Files\\Plintor\\plintor-rename.exe"'
EDIT_ID = 201
IDOK, IDCANCEL, PROMPT_ID = 1, 2, 100
SKIPPED = 77  # a case's exit status when it cannot run here (ctest's SKIP_RETURN_CODE)


class Failure(Exception):
    pass


class Skipped(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def expect_equal(actual, expected, what):
    check(actual == expected, f"{what}: expected {expected!r}, got {actual!r}")


def wait_for(predicate, seconds, message):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.05)
    raise Failure(message)


def read(path):
    with open(path, "rb") as f:
        return f.read()


# The two backends differ only in how a Windows program is started, how a
# local path becomes a Windows path, and setting the session up and down.

class WineBackend:
    """Linux: Windows programs under Wine, on a virtual X display."""
    native = False

    def __init__(self, state_dir):
        self.state_file = os.path.join(state_dir, "session.json")
        self.wine = "/usr/lib/wine/wine64"

    def command(self, program, *args):
        return [self.wine, program, *args]

    def windows_path(self, path):
        """Wine's drive Z: is the Unix root."""
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def environment(self):
        """scripts/wine-env's environment, with the session's display."""
        out = subprocess.run(["bash", "-c", f'. "{WINE_ENV}" && env -0'], stdout=subprocess.PIPE,
                             stdin=subprocess.DEVNULL, check=True).stdout
        env = dict(item.split("=", 1) for item in out.decode().split("\0") if "=" in item)
        return dict(env, DISPLAY=self.display())

    def set_up(self):
        devnull = subprocess.DEVNULL
        display = free_display()
        xvfb = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                stdin=devnull, stdout=devnull, stderr=devnull, start_new_session=True)
        env = dict(os.environ, DISPLAY=f":{display}")
        wait_for(lambda: subprocess.run(["xdpyinfo"], env=env, stdout=devnull, stderr=devnull).returncode == 0,
                 10, "Xvfb did not start")
        # A window manager, as on a desktop: without one, focus is racy. On a
        # freshly installed machine openbox's first start took about 10 s.
        wm = None
        for attempt in range(3):
            wm = subprocess.Popen(["openbox"], env=env, stdin=devnull, stdout=devnull, stderr=devnull,
                                  start_new_session=True)
            if self.wait_for_window_manager(env, wm):
                break
            wm.kill()
        else:
            raise Failure("openbox did not start")
        with open(self.state_file, "w") as f:
            json.dump({"display": f":{display}", "pids": [wm.pid, xvfb.pid]}, f)
        # A fresh wineserver whose helpers all see this display. Wine draws
        # the caption and the close button itself, as Windows does, so that
        # they are the dialog's own non-client area.
        subprocess.run(["bash", "-c", f'. "{WINE_ENV}" && "$WINESERVER" -k; wine_ready && '
                        '"$WINE" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Decorated /d N /f'],
                       env=env, stdin=devnull, stdout=devnull, stderr=devnull, timeout=180, check=True)

    @staticmethod
    def wait_for_window_manager(env, wm):
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and wm.poll() is None:
            root = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL).stdout
            if b"window id" in root:
                return True
            time.sleep(0.05)
        return False

    def take_down(self):
        devnull = subprocess.DEVNULL
        subprocess.run(["bash", "-c", f'. "{WINE_ENV}" && "$WINESERVER" -k'], stdin=devnull, stdout=devnull,
                       stderr=devnull, timeout=60)
        if os.path.exists(self.state_file):
            state = json.loads(read(self.state_file))
            for pid in state["pids"]:
                try:
                    os.kill(pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
            # A new session may take the same display number: a window
            # manager started before the old server has gone would die with it.
            number = state["display"][1:]
            wait_for(lambda: not os.path.exists(f"/tmp/.X{number}-lock") and
                     not os.path.exists(f"/tmp/.X11-unix/X{number}"), 20, "the old X server did not end")
            os.remove(self.state_file)

    def display(self):
        return json.loads(read(self.state_file))["display"]


class NativeBackend:
    """Windows: programs started directly, on the desktop at hand."""
    native = True

    def __init__(self, state_dir):
        pass

    def command(self, program, *args):
        return [program, *args]

    def windows_path(self, path):
        return os.path.abspath(path)

    def environment(self):
        return dict(os.environ)

    def set_up(self):
        pass

    def take_down(self):
        pass

    def display(self):
        return "the interactive desktop"


def free_display():
    for number in range(90, 200):
        if not os.path.exists(f"/tmp/.X11-unix/X{number}") and not os.path.exists(f"/tmp/.X{number}-lock"):
            return number
    raise Failure("no free X display number")


BACKEND = None  # set by main for the build folder


def windows_path(path):
    return BACKEND.windows_path(path)


class Session:
    """What all cases share: the backend's session, set up once."""

    def __init__(self, build):
        self.build = os.path.abspath(build)
        self.state_dir = os.path.join(self.build, "e2e")

    def start(self):
        self.stop()
        os.makedirs(self.state_dir, exist_ok=True)
        BACKEND.set_up()
        self.warm_up()

    def warm_up(self):
        """Opens and closes one dialog: under Wine the first window of a
        session starts its desktop process, which must not race a case for
        the focus."""
        run = Run(self)
        try:
            run.start(tool_line(b"warm-up.txt"), cwd=run.work)
            closer = run.program(run.helper("probe"), "close")
            check(closer.wait(60) == 0, "the warm-up dialog did not open")
            expect_equal(run.finish()[0], "0", "warm-up exit status")
        finally:
            run.close()

    def stop(self):
        BACKEND.take_down()


class Run:
    """One start of the tool in a folder of its own."""

    def __init__(self, session):
        self.build = session.build
        self.env = BACKEND.environment()
        self.dir = tempfile.mkdtemp(prefix="case-", dir=session.state_dir)
        self.work = os.path.join(self.dir, "work")
        os.mkdir(self.work)
        self.launcher = None

    def close(self):
        if self.launcher and self.launcher.poll() is None:
            self.launcher.kill()
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, *names):
        return os.path.join(self.work, *names)

    def make(self, name, content=b"content\n"):
        path = self.path(name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)
        return path

    def listing(self):
        """The work folder's files with their contents, and its folders, by
        "/"-separated relative names."""
        result = {}
        for top, dirs, files in os.walk(self.work):
            relative = os.path.relpath(top, self.work).replace(os.sep, "/")
            prefix = "" if relative == "." else relative + "/"
            for name in files:
                result[prefix + name] = read(os.path.join(top, name))
            for name in dirs:
                result[prefix + name + "/"] = None
        return result

    def program(self, *args, env=None):
        """Starts a Windows program; its output goes to the case's log (a
        pipe would be held open by Wine's helpers)."""
        with open(os.path.join(self.dir, "programs.log"), "ab") as log:
            return subprocess.Popen(BACKEND.command(*args), env=env or self.env, stdin=subprocess.DEVNULL,
                                    stdout=log, stderr=log)

    def start(self, line, cwd=None, utf8=False, program="plintor-rename.exe", env=None):
        """Starts the tool (or another program of the build, or one given by
        its Windows path) with exactly these command-line bytes (UTF-8 ones
        through the wide entry point when utf8 is set)."""
        line_file = os.path.join(self.dir, "line")
        with open(line_file, "wb") as f:
            f.write(line)
        self.result_file = os.path.join(self.dir, "result")
        args = [self.helper("launcher")] + (["--utf8"] if utf8 else [])
        if ":\\" not in program:
            program = windows_path(os.path.join(self.build, program))
        args += [program, windows_path(line_file), windows_path(self.result_file)]
        if cwd:
            args.append(windows_path(cwd))
        self.launcher = self.program(*args, env=dict(self.env, **(env or {})))

    def start_through_shell(self, verb, path):
        """Has the shell run a verb of the file's class, as Explorer does."""
        self.result_file = os.path.join(self.dir, "result")
        self.launcher = self.program(self.helper("launcher"), "--shell", verb, windows_path(path),
                                     windows_path(self.result_file))

    def helper(self, name):
        return os.path.join(self.build, "tests", "e2e", name + ".exe")

    def probe(self, *args):
        """Runs the probe with an output file as its second argument; returns
        the file's lines."""
        out = os.path.join(self.dir, "probe-" + args[0])
        if os.path.exists(out):
            os.remove(out)
        status = self.program(self.helper("probe"), args[0], windows_path(out), *args[1:]).wait(90)
        check(os.path.exists(out), f"the probe's {args[0]} wrote nothing (exit status {status})")
        return read(out).split(b"\n")

    def registry(self, *key_and_names):
        """The probe's reading of these registry values, one line each."""
        return [line.decode() for line in self.probe("registry", *key_and_names) if line]

    def reg(self, *args):
        check(self.program("reg", *args).wait(60) == 0, f"reg {' '.join(args)} failed")

    def dialog(self, limit_ms=20000, must_be_ready=True):
        """What the probe reads of the open dialog."""
        facts = {}
        for line in self.probe("dialog", str(limit_ms)):
            if line:
                key, _, value = line.partition(b" ")
                facts[key.decode()] = value
        if must_be_ready:
            check(facts.get("ready") == b"1", f"the dialog did not open ready to type: {facts}")
        return facts

    def dialog_or_end(self):
        """Waits until the dialog is ready or the tool has ended; says which."""
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if self.launcher.poll() is not None:
                return "ended"
            if self.dialog(limit_ms=300, must_be_ready=False).get("ready") == b"1":
                return "dialog"
        raise Failure("neither a dialog nor an end")

    def input(self, *actions, focus=EDIT_ID):
        """Has the probe take the foreground for the dialog, check that the
        focus is on control focus and send the actions as real input;
        returns the control with the focus after each action."""
        lines = [line.decode() for line in self.probe("input", str(focus), *actions) if line]
        errors = [line[len("error "):] for line in lines if line.startswith("error ")]
        check(not errors, f"input {' '.join(actions)}: {'; '.join(errors)}")
        return [int(line.split()[1]) for line in lines if line.startswith("focus ")]

    def keys(self, *keys):
        return self.input(*("key:" + key for key in keys))

    def type(self, text):
        self.input("text:" + text.encode().hex())

    def click(self, target):
        """Clicks a control (by its identifier) or the dialog's close button ("close")."""
        self.input(f"click:{target}")

    def paste(self, text):
        """Puts text on the clipboard and pastes it with Ctrl+V."""
        clip = os.path.join(self.dir, "clip")
        with open(clip, "wb") as f:
            f.write(text.encode())
        probe = self.program(self.helper("probe"), "clip", windows_path(clip))
        check(probe.wait(60) == 0, "could not fill the clipboard")
        self.keys("ctrl+v")

    def finish(self):
        """Waits for the tool to end; returns (exit status, windows shown)."""
        check(self.launcher.wait(90) == 0, "the launcher failed")
        with open(self.result_file) as f:
            facts = dict(line.split() for line in f if line.strip())
        return facts["status"], int(facts["windows"])


def windows_only(reason):
    """A case that only real Windows can show; skipped elsewhere with the reason."""
    def mark(case):
        def wrapped(run):
            if not BACKEND.native:
                raise Skipped(reason)
            case(run)
        wrapped.__doc__ = case.__doc__
        return wrapped
    return mark


def tool_line(*arguments):
    return b" ".join([TOOL, *arguments])


def quoted(path):
    return b'"' + windows_path(path).encode("cp1252") + b'"'


def expect_unchanged(run, before, status):
    expect_equal(status, "0", "exit status")
    expect_equal(run.listing(), before, "files")


def confirm_and_expect(run, files):
    """Presses Enter; the tool must end with status 0 leaving these files."""
    run.keys("Return")
    status, _ = run.finish()
    expect_equal(status, "0", "exit status")
    expect_equal(run.listing(), files, "files")


def rename_and_expect(run, typed, files):
    run.type(typed)
    confirm_and_expect(run, files)


# The cases. Each gets a fresh Run and says what it proves.

def case_opens_quoted_path_with_blanks(run):
    """The dialog as it opens for a quoted path with blanks; Esc then leaves it."""
    target = run.make("my files/report 2024.txt")
    before = run.listing()
    run.start(tool_line(quoted(target)))
    d = run.dialog()
    expect_equal(d["caption"], b"Plintor Rename", "caption")
    expect_equal(d["prompt"], b'Rename "report 2024.txt" to:', "prompt")
    expect_equal(d["edit"], b"report 2024.txt", "edit text")
    expect_equal(d["selection"], b"0 15", "selection")
    expect_equal(d["focus"], b"201", "focused control")
    run.keys("Escape")
    status, windows = run.finish()
    expect_equal(windows, 1, "windows shown")
    expect_unchanged(run, before, status)


def renames_with(confirm):
    def case(run):
        target = run.make("report.txt", b"keep me\n")
        run.make("other.txt", b"other\n")
        run.start(tool_line(quoted(target)))
        d = run.dialog()
        run.type("renamed file.txt")
        expect_equal(run.dialog()["edit"], b"renamed file.txt", "typed text replaces the selected name")
        confirm(run, d)
        status, _ = run.finish()
        expect_equal(status, "0", "exit status")
        expect_equal(run.listing(), {"renamed file.txt": b"keep me\n", "other.txt": b"other\n"}, "files")
    return case


case_ok_button_renames = renames_with(lambda run, d: run.click(IDOK))
case_ok_button_renames.__doc__ = "Typing a new name and clicking OK renames on disk."
case_enter_renames = renames_with(lambda run, d: run.keys("Return"))
case_enter_renames.__doc__ = "Typing a new name and pressing Enter renames on disk."


def leaves_with(close):
    def case(run):
        target = run.make("report.txt")
        before = run.listing()
        run.start(tool_line(quoted(target)))
        d = run.dialog()
        run.type("renamed.txt")
        close(run, d)
        status, _ = run.finish()
        expect_unchanged(run, before, status)
    return case


case_cancel_button_leaves = leaves_with(lambda run, d: run.click(IDCANCEL))
case_cancel_button_leaves.__doc__ = "Cancel renames nothing, even after typing."
case_escape_leaves = leaves_with(lambda run, d: run.keys("Escape"))
case_escape_leaves.__doc__ = "Esc renames nothing."
case_close_button_leaves = leaves_with(lambda run, d: run.click("close"))
case_close_button_leaves.__doc__ = "The title bar's close button renames nothing."
case_alt_f4_leaves = leaves_with(lambda run, d: run.keys("alt+F4"))
case_alt_f4_leaves.__doc__ = "Alt+F4 renames nothing."


def case_emptied_field_renames_nothing(run):
    """Clearing the field and pressing Enter renames nothing."""
    target = run.make("report.txt")
    before = run.listing()
    run.start(tool_line(quoted(target)))
    run.dialog()
    run.keys("BackSpace")
    expect_equal(run.dialog()["edit"], b"", "edit text after BackSpace")
    run.keys("Return")
    status, _ = run.finish()
    expect_unchanged(run, before, status)


def case_unchanged_name_closes(run):
    """Enter on the name as shown closes the dialog and keeps the file."""
    target = run.make("report.txt")
    before = run.listing()
    run.start(tool_line(quoted(target)))
    run.dialog()
    run.keys("Return")
    status, _ = run.finish()
    expect_unchanged(run, before, status)


def no_window(line):
    def case(run):
        run.make("report.txt")
        before = run.listing()
        run.start(line, cwd=run.work)
        status, windows = run.finish()
        expect_equal(windows, 0, "windows shown")
        expect_unchanged(run, before, status)
    return case


case_no_argument = no_window(TOOL)
case_no_argument.__doc__ = "Without an argument: no window, status 0."
case_only_blanks_after_the_name = no_window(TOOL + b" \t  ")
case_only_blanks_after_the_name.__doc__ = "Blanks after the program's name are no argument."
case_only_empty_quoted_argument = no_window(TOOL + b' ""')
case_only_empty_quoted_argument.__doc__ = "An empty quoted argument is no argument."


def case_ampersand_shown_as_itself(run):
    """A name with an ampersand: the prompt holds it as it is and shows it
    literally, not as a mnemonic underline."""
    target = run.make("Tom & Jerry.txt", b"t\n")
    run.start(tool_line(quoted(target)))
    d = run.dialog()
    expect_equal(d["prompt"], b'Rename "Tom & Jerry.txt" to:', "prompt")
    check(int(d["prompt-style"], 16) & 0x80, f"prompt style {d['prompt-style']} lacks SS_NOPREFIX")
    rename_and_expect(run, "T&J.txt", {"T&J.txt": b"t\n"})


SS_NOPREFIX, SS_ENDELLIPSIS = 0x80, 0x4000


def case_long_name_prompt_and_tab_order(run):
    """A name too long for the prompt: its text stays exact and is drawn
    ending in an ellipsis; the prompt is the control just before the field,
    so that screen readers name the field after it; Tab goes from the field
    to OK, Cancel and back to the field."""
    name = "Annual Report 2024 - Final Version (Reviewed by Legal & Finance).docx"
    target = run.make(name)
    before = run.listing()
    run.start(tool_line(quoted(target)))
    d = run.dialog()
    expect_equal(d["prompt"].decode(), f'Rename "{name}" to:', "prompt")
    style = int(d["prompt-style"], 16)
    check(style & SS_NOPREFIX and style & SS_ENDELLIPSIS, f"prompt style {style:#x} lacks SS_NOPREFIX or SS_ENDELLIPSIS")
    expect_equal(int(d["before-edit"]), PROMPT_ID, "the control just before the field")
    expect_equal(run.keys("Tab", "Tab", "Tab"), [IDOK, IDCANCEL, EDIT_ID], "the focus after each Tab")
    run.keys("Escape")
    status, _ = run.finish()
    expect_unchanged(run, before, status)


@windows_only("Wine's oleacc gives no accessibility objects for dialog controls")
def case_field_named_for_screen_readers(run):
    """The accessibility layer names the edit field with the prompt's text."""
    run.make("report.txt")
    run.start(tool_line(quoted(run.path("report.txt"))))
    run.dialog()
    expect_equal(run.probe("accessible")[0].decode(), 'name Rename "report.txt" to:', "the field's accessible name")
    run.keys("Escape")
    expect_equal(run.finish()[0], "0", "exit status")


@windows_only("only Windows has the system's long-path policy; the job turns it on")
def case_path_over_300_characters_renamed(run):
    """With the long-path policy on, a file at a path of over 300 characters
    is renamed through the dialog."""
    import winreg
    with winreg.OpenKey(winreg.HKEY_LOCAL_MACHINE, r"SYSTEM\CurrentControlSet\Control\FileSystem") as key:
        check(winreg.QueryValueEx(key, "LongPathsEnabled")[0] == 1, "LongPathsEnabled is not 1")
    folders = ["a folder with a long name " + "x" * 70] * 3
    target = run.make("/".join(folders + ["report.txt"]), b"long\n")
    check(len(windows_path(target)) > 300, f"the path is only {len(windows_path(target))} characters")
    files = {"/".join(folders[:depth]) + "/": None for depth in range(1, 4)}
    run.start(tool_line(quoted(target)))
    expect_equal(run.dialog()["edit"], b"report.txt", "edit text")
    rename_and_expect(run, "renamed.txt", dict(files, **{"/".join(folders + ["renamed.txt"]): b"long\n"}))


def case_failed_rename_loses_nothing(run):
    """Renaming onto an existing name fails silently: status 0, both files intact."""
    target = run.make("a.txt", b"first\n")
    run.make("b.txt", b"second\n")
    before = run.listing()
    run.start(tool_line(quoted(target)))
    run.dialog()
    run.type("b.txt")
    run.keys("Return")
    status, _ = run.finish()
    expect_unchanged(run, before, status)


def case_relative_path_uses_current_directory(run):
    """A bare name is renamed within the current directory."""
    run.make("report.txt", b"data\n")
    run.start(tool_line(b"report.txt"), cwd=run.work)
    d = run.dialog()
    expect_equal(d["prompt"], b'Rename "report.txt" to:', "prompt")
    rename_and_expect(run, "done.txt", {"done.txt": b"data\n"})


def case_further_arguments_ignored(run):
    """Only the first argument is the target; the rest change nothing."""
    target = run.make("first.txt", b"1\n")
    other = run.make("second.txt", b"2\n")
    run.start(tool_line(quoted(target), quoted(other), b"/x"))
    expect_equal(run.dialog()["edit"], b"first.txt", "edit text")
    rename_and_expect(run, "third.txt", {"third.txt": b"1\n", "second.txt": b"2\n"})


def case_quoted_run_inside_a_token(run):
    """A quoted run inside a token, no escape before a double quote, upper-half bytes."""
    run.make("caf\u00e9 menu/list.txt", b"x\n")
    folder = windows_path(run.path("caf\u00e9 menu")).encode("cp1252")
    head, _, tail = folder.rpartition(b"\\")
    run.start(TOOL + b" " + head + b'\\"' + tail + b'"\\list.txt')
    d = run.dialog()
    expect_equal(d["edit"], b"list.txt", "edit text")
    rename_and_expect(run, "new.txt", {"caf\u00e9 menu/": None, "caf\u00e9 menu/new.txt": b"x\n"})


def case_directory_is_renamed(run):
    """A path naming a directory renames the directory with its contents."""
    run.make("old dir/inner.txt", b"in\n")
    run.start(tool_line(quoted(run.path("old dir"))))
    run.dialog()
    rename_and_expect(run, "new dir", {"new dir/": None, "new dir/inner.txt": b"in\n"})


def case_memory_exhaustion_at_every_allocation(run):
    """Each allocation of a run in turn fails: status 203 and no rename, until
    the run needs fewer allocations than allowed and renames as usual."""
    for limit in range(500):
        shutil.rmtree(run.work)
        run.make("report.txt", b"data\n")
        before = run.listing()
        run.start(tool_line(quoted(run.path("report.txt"))), program="plintor-rename-failing-allocator.exe",
                  env={"PLINTOR_FAIL_AFTER": str(limit)})
        if run.dialog_or_end() == "dialog":
            run.type("new.txt")
            run.keys("Return")
        status, _ = run.finish()
        if status == "0":
            check(limit > 0, "the run needs at least one allocation")
            expect_equal(run.listing(), {"new.txt": b"data\n"}, f"files after a run with {limit} allocations")
            print(f"every one of the {limit} allocations of a run was made to fail in turn")
            return
        expect_equal(status, "203", f"exit status when allocation {limit + 1} fails")
        expect_equal(run.listing(), before, f"files when allocation {limit + 1} fails")
    raise Failure("the run never completed")


# Hostile input: none of it may crash the tool, rename anything it was not
# asked to, or end it with a status other than 0.

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
    rest is not read as more arguments, and confirming renames nothing."""
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
    exist on Windows, so confirming renames nothing."""
    run.make("a.txt")
    run.make("b.txt")
    before = run.listing()
    run.start(TOOL + b' "' + windows_path(run.path("a.txt")).encode() + b'\x01\tb.txt"')
    expect_equal(run.dialog()["edit"], b"a.txt\x01\tb.txt", "edit text")
    run.type("c.txt")
    run.keys("Return")
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


def utf16_length(text):
    return len(text.encode("utf-16-le")) // 2


def case_name_outside_the_code_page_pasted(run):
    """Japanese and emoji: shown whole, wholly selected, renamed to a pasted name."""
    name = "\u65e5\u672c\u8a9e\u306e\u30e1\u30e2\U0001F600.txt"
    new = "\u5831\u544a\u66f8\U0001F389 v2.txt"
    run.make(name, b"memo\n")
    run.start(TOOL + b' "' + windows_path(run.path(name)).encode() + b'"', utf8=True)
    d = run.dialog()
    expect_equal(d["prompt"].decode(), f'Rename "{name}" to:', "prompt")
    expect_equal(d["edit"].decode(), name, "edit text")
    expect_equal(d["selection"].decode(), f"0 {utf16_length(name)}", "selection covers the whole name")
    run.paste(new)
    expect_equal(run.dialog()["edit"].decode(), new, "pasted text replaces the selected name")
    confirm_and_expect(run, {new: b"memo\n"})


def case_name_outside_the_code_page_typed(run):
    """A name typed with characters outside code page 1252."""
    run.make("plain.txt", b"p\n")
    new = "\u30c6\u30b9\u30c8 \u00e9t\u00e9.txt"
    run.start(tool_line(quoted(run.path("plain.txt"))))
    run.dialog()
    run.type(new)
    expect_equal(run.dialog()["edit"].decode(), new, "typed text")
    confirm_and_expect(run, {new: b"p\n"})


def case_controls_are_themed(run):
    """The process runs with the version 6 common controls (visual styles),
    which only a manifest's activation context loads."""
    run.make("a.txt")
    run.start(tool_line(quoted(run.path("a.txt"))))
    modules = run.dialog()["modules"].decode().lower().split(";")
    check(any("common-controls" in m and "_6." in m and m.endswith("comctl32.dll") for m in modules),
          f"no version 6 comctl32.dll among {modules}")
    run.keys("Escape")
    expect_equal(run.finish()[0], "0", "exit status")


# The release kit: the zip as scripts/release packs it, unpacked under Wine
# into folders with names that cmd is treacherous about.

KIT_FILES = ["LICENSE.txt", "README.txt", "add-to-explorer.cmd", "plintor-rename.exe", "remove-from-explorer.cmd"]
MENU_KEY = "HKCU\\Software\\Classes\\AllFilesystemObjects\\shell\\PlintorRename"
NEIGHBOUR_KEY = "HKCU\\Software\\Classes\\AllFilesystemObjects\\shell\\PlintorNeighbour"
# Wine's shell reads verbs only from an extension's class under
# HKEY_CLASSES_ROOT; the test puts the entry's command there.
TEST_EXTENSION = ".plintortest"
TEST_CLASS_NAME = "PlintorTest.File"
TEST_CLASS = "HKCR\\" + TEST_CLASS_NAME
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
        expect_equal(archive.read("LICENSE.txt"), read(os.path.join(ROOT, "LICENSE")), "LICENSE.txt")
        for name in ("README.txt", "add-to-explorer.cmd", "remove-from-explorer.cmd"):
            text = archive.read(name)
            check(text.endswith(b"\r\n") and b"\n" not in text.replace(b"\r\n", b""), f"{name}: not CRLF")
            check(name == "README.txt" or text.isascii(), f"{name}: not ASCII")
    expect_equal(read(os.path.join(run.dir, "first", "SHA256SUMS")).decode(),
                 f"{hashlib.sha256(read(first)).hexdigest()}  {os.path.basename(first)}\n", "SHA256SUMS")


def unpack_kit(run, folder):
    """Unpacks the release zip into a folder of run.dir (not of the listed
    work folder); returns the folder's path."""
    path = os.path.join(run.dir, "My Apps", folder)
    with zipfile.ZipFile(pack(run, os.path.join(run.dir, "dist"))) as archive:
        archive.extractall(path)
    return path


def run_kit_script(run, folder, script, status="0", output=None):
    """Runs a kit script with /q as Explorer runs a double-clicked batch file,
    its output into the file output if given."""
    into = f' >"{windows_path(output)}"' if output else ""
    run.start(f'cmd.exe /c ""{windows_path(os.path.join(folder, script))}" /q{into}"'.encode(), program=CMD,
              utf8=True)
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
            for key in (MENU_KEY, NEIGHBOUR_KEY, "HKCR\\" + TEST_EXTENSION, TEST_CLASS):
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
    run.reg("add", "HKCR\\" + TEST_EXTENSION, "/ve", "/d", TEST_CLASS_NAME, "/f")
    run.reg("add", TEST_CLASS + "\\shell\\PlintorRename\\command", "/ve", "/d", command, "/f")
    expect_equal(run.registry(TEST_CLASS + "\\shell\\PlintorRename\\command", ""), [f"value {command}"],
                 "the command as registered for the shell")
    run.make("Quarterly report" + TEST_EXTENSION, b"q\n")
    run.start_through_shell("PlintorRename", run.path("Quarterly report" + TEST_EXTENSION))
    expect_equal(run.dialog()["edit"].decode(), "Quarterly report" + TEST_EXTENSION, "edit text")
    rename_and_expect(run, "Annual report.txt", {"Annual report.txt": b"q\n"})

    run_kit_script(run, folder, "remove-from-explorer.cmd")
    expect_equal(menu_entry(run), ["no-key"] * 4, "the entry after removal")
    expect_equal(run.registry(NEIGHBOUR_KEY + "\\command", ""), ["value neighbour.exe"], "the neighbouring entry")
    run_kit_script(run, folder, "remove-from-explorer.cmd")  # nothing left to remove is no failure


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
    expect_equal(run.launcher.wait(60), 3, "the launcher's status (3: the shell refused the verb)")


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


@windows_only("Wine's files have no alternate data streams, and its powershell.exe is a stub")
@with_clean_registry
def case_add_script_clears_the_download_mark(run):
    """add-to-explorer.cmd clears the mark of the web from the executable
    beside it, and from no other file."""
    folder = unpack_kit(run, "Downloads")
    mark = b"[ZoneTransfer]\r\nZoneId=3\r\n"
    for name in ("plintor-rename.exe", "README.txt"):
        with open(os.path.join(folder, name + ":Zone.Identifier"), "wb") as f:
            f.write(mark)
    run_kit_script(run, folder, "add-to-explorer.cmd")
    check(not os.path.exists(os.path.join(folder, "plintor-rename.exe:Zone.Identifier")),
          "the executable still carries the mark")
    expect_equal(read(os.path.join(folder, "README.txt:Zone.Identifier")), mark, "the README's mark")


CASES = {name[len("case_"):]: value for name, value in globals().items() if name.startswith("case_")}


def run_case(session, name, logs=None):
    """Runs one case; returns "passed", "failed" or "skipped". With logs, a
    failed case leaves its programs' output and a screenshot there."""
    case = CASES[name]
    print(f"{name}: {case.__doc__}", flush=True)
    run = Run(session)
    try:
        case(run)
        print("passed", flush=True)
        return "passed"
    except Skipped as skipped:
        print(f"skipped: {skipped}", flush=True)
        return "skipped"
    except Failure as failure:
        print(f"FAILED: {failure}", flush=True)
        if logs:
            os.makedirs(logs, exist_ok=True)
            shot = run.program(run.helper("probe"), "screenshot", windows_path(os.path.join(logs, name + ".bmp")))
            shot.wait(60)
            if os.path.exists(os.path.join(run.dir, "programs.log")):
                shutil.copy(os.path.join(run.dir, "programs.log"), os.path.join(logs, name + ".log"))
        return "failed"
    finally:
        run.close()


def run_program(session, name, program):
    """Runs one of the build's GoogleTest programs from the build folder."""
    print(f"{name}: {os.path.relpath(program, session.build)}", flush=True)
    log = os.path.join(session.state_dir, name + ".log")
    with open(log, "wb") as out:
        status = subprocess.run(BACKEND.command(program), cwd=session.build, env=BACKEND.environment(),
                                stdin=subprocess.DEVNULL, stdout=out, stderr=out, timeout=600).returncode
    text = read(log).decode(errors="replace")
    summary = [line for line in text.splitlines() if line.startswith(("[  PASSED  ]", "[  FAILED  ]"))]
    print(text if status else "\n".join(summary), flush=True)
    print("passed" if status == 0 else f"FAILED: exit status {status}", flush=True)
    return "passed" if status == 0 else "failed"


def run_all(session):
    """Everything that runs on Windows, in one go."""
    counts = {"passed": 0, "failed": 0, "skipped": 0}
    session.start()
    try:
        for name, program in (("unit_tests", os.path.join("tests", "logic_tests.exe")),
                              ("resources", os.path.join("tests", "resource_tests.exe"))):
            counts[run_program(session, name, os.path.join(session.build, program))] += 1
        for name in CASES:
            counts[run_case(session, name, logs=os.path.join(session.state_dir, "logs"))] += 1
    finally:
        session.stop()
    print(f"{counts['passed']} passed, {counts['failed']} failed, {counts['skipped']} skipped")
    return 1 if counts["failed"] else 0


def main():
    global BACKEND
    # Texts of cases in any script, whatever the console's code page.
    sys.stdout.reconfigure(errors="backslashreplace")
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    session = Session(sys.argv[1])
    BACKEND = (NativeBackend if os.name == "nt" else WineBackend)(session.state_dir)
    command = sys.argv[2]
    if command == "start":
        session.start()
    elif command == "stop":
        session.stop()
    elif command == "display":
        print(BACKEND.display())
    elif command == "list":
        print("\n".join(CASES))
    elif command == "run" and len(sys.argv) == 4 and sys.argv[3] in CASES:
        return {"passed": 0, "failed": 1, "skipped": SKIPPED}[run_case(session, sys.argv[3])]
    elif command == "all":
        return run_all(session)
    else:
        sys.exit(__doc__)
    return 0


if __name__ == "__main__":
    sys.exit(main())
