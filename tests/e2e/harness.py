"""The harness of the end-to-end suite: the session that all cases share,
one run of the tool in a folder of its own, the input that the probe sends,
and running a case so that any error fails that case alone."""
import collections
import os
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
TOOL = b'"C:\\Program Files\\Plintor\\plintor-rename.exe"'
EDIT_ID = 201
IDOK, IDCANCEL, PROMPT_ID = 1, 2, 100
SKIPPED = 77  # a case's exit status when it cannot run here (ctest's SKIP_RETURN_CODE)
# The helpers' own statuses, which no crash gives (msvcrt's abort() ends with
# 3, Wine's failed start with 1): the probe could not do what was asked, and
# says why; the launcher's system did not start the program.
PROBE_REFUSED = 64
NOT_STARTED = 67
# How often a helper, or the tool, that never reached its own code is
# started: a failure of the system to start a process, not of any check, may
# be tried again.
START_TRIES = 3
# The status of a program that the system ended before its code ran (as Wine
# does when it cannot set a process up); the launcher never exits with it.
NEVER_RAN = 1
# The last line of every helper's answer: without it the helper did not
# finish (it crashed), whatever its status.
ANSWER_END = b"end"


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
    """Waits until predicate holds; fails with message (or what a callable
    message says then) when it never does."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.05)
    raise Failure(message() if callable(message) else message)


def read(path):
    with open(path, "rb") as f:
        return f.read()


BACKEND = None  # one of backends.py's, set by e2e.py for the build folder


def windows_path(path):
    return BACKEND.windows_path(path)


class Session:
    """What all cases share: the backend's session, set up once."""

    def __init__(self, build):
        self.build = os.path.abspath(build)
        self.state_dir = os.path.join(self.build, "e2e")
        self.restarts = collections.Counter()  # starts tried again over all cases, by why
        self.lock_file = os.path.join(self.state_dir, "foreground-lock-was")

    def start(self, logs=None):
        """Sets the session up; with logs, a failed warm-up leaves its
        programs' log and a screenshot there. A foreground lock that an
        earlier session lifted stays lifted."""
        BACKEND.take_down()
        os.makedirs(self.state_dir, exist_ok=True)
        BACKEND.set_up()
        self.warm_up(logs)

    def warm_up(self, logs):
        """Opens and closes one dialog: under Wine the first window of a
        session starts its desktop process, which must not race a case for
        the focus."""
        run = Run(self)
        try:
            run.start(tool_line(b"warm-up.txt"), cwd=run.work)
            status, printed = run.helper_run("probe", "--process", run.tool_process(), "close", timeout=60)
            if status != 0:
                raise Failure(run.explain("the warm-up dialog did not open", status, printed))
            expect_equal(run.finish()[0], "0", "warm-up exit status")
        except Exception as error:
            if logs:
                run.keep_evidence(logs, "warm-up", error)
            raise
        finally:
            run.close()

    def stop(self, restore=True):
        """Takes the session down; unless told that another follows, first
        puts the foreground lock back."""
        if restore:
            self.restore_foreground_lock()
        BACKEND.take_down()

    def remember_foreground_lock(self, milliseconds):
        """The desktop's foreground lock time-out as it was before the probe
        first set it to 0; the first value seen is the one to put back."""
        if not os.path.exists(self.lock_file):
            with open(self.lock_file, "w", encoding="ascii", newline="\n") as f:
                f.write(milliseconds)

    def restore_foreground_lock(self):
        """Puts the foreground lock time-out back when the run ends: the
        suite may run on someone's own desktop."""
        if not os.path.exists(self.lock_file):
            return
        milliseconds = read(self.lock_file).decode().strip()
        if BACKEND.running():
            command = BACKEND.command(os.path.join(self.build, "tests", "e2e", "probe.exe"), "foreground-lock",
                                      milliseconds)
            status = subprocess.run(command, env=BACKEND.environment(), stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60).returncode
            if status != 0:
                print(f"(could not put the foreground lock time-out back to {milliseconds} ms: "
                      f"exit status {BACKEND.status_text(status)})", flush=True)
            else:
                print(f"(the foreground lock time-out is back to {milliseconds} ms)", flush=True)
        os.remove(self.lock_file)


class Run:
    """One start of the tool in a folder of its own."""

    def __init__(self, session):
        self.session = session
        self.build = session.build
        self.env = BACKEND.environment()
        self.dir = tempfile.mkdtemp(prefix="case-", dir=session.state_dir)
        self.work = os.path.join(self.dir, "work")
        os.mkdir(self.work)
        self.log = os.path.join(self.dir, "programs.log")
        self.launcher = None
        self.launches = 0
        self.launcher_output = os.path.join(self.dir, "launcher.out")
        self.process = None
        self.programs = []
        self.helper_runs = 0
        self.restarts = []  # why each start that the system failed was tried again

    def close(self):
        """Ends every program the run started (the launcher takes the tool
        with it) and removes the run's folder, which Windows refuses while a
        program still holds a file in it."""
        for program in self.programs:
            if program.poll() is None:
                program.kill()
        for program in self.programs:
            program.wait(30)
        deadline = time.monotonic() + 15
        while os.path.exists(self.dir):
            try:
                shutil.rmtree(self.dir)
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.1)

    def keep_evidence(self, logs, name, error):
        """Leaves the programs' log, with the error's traceback, and a
        screenshot of the desktop in logs, for a failed case; says so if it
        cannot, without hiding the case's own error."""
        try:
            os.makedirs(logs, exist_ok=True)
            if not isinstance(error, Failure):
                with open(self.log, "a", encoding="utf-8", newline="\n") as log:
                    log.write("".join(traceback.format_exception(error)))
            if os.path.exists(self.launcher_output):
                with open(self.log, "ab") as log:
                    log.write(b"--- the launcher and the program it started printed:\n" +
                              BACKEND.without_trace(read(self.launcher_output)))
            if os.path.exists(self.log):
                shutil.copy(self.log, os.path.join(logs, name + ".log"))
            self.helper_run("probe", "screenshot", windows_path(os.path.join(logs, name + ".png")), timeout=60)
        except Exception as evidence_error:
            print(f"(its log and screenshot could not be kept: {describe(evidence_error)})", flush=True)

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

    def program(self, *args, env=None, output=None):
        """Starts a Windows program; its output goes to the file output, by
        default the case's log (a pipe would be held open by Wine's helpers)."""
        with open(output or self.log, "ab") as log:
            program = subprocess.Popen(BACKEND.command(*args), env=env or self.env, stdin=subprocess.DEVNULL,
                                       stdout=log, stderr=log)
        self.programs.append(program)
        return program

    def helper_run(self, name, *args, timeout=90):
        """Runs one of the build's helpers to its end, with what it prints
        and, under Wine, a trace of its start in a file of its own; adds what
        it printed, less the trace, to the case's log. Returns its exit
        status and all it printed."""
        self.helper_runs += 1
        output = os.path.join(self.dir, f"{name}-{self.helper_runs}.out")
        program = self.program(self.helper(name), *args, env=dict(self.env, **BACKEND.trace()), output=output)
        try:
            return program.wait(timeout), read(output)
        finally:
            with open(self.log, "ab") as log:
                log.write(BACKEND.without_trace(read(output)))
            os.remove(output)

    def explain(self, what, status, printed):
        """Says how a helper ended without its result, for a case's failure,
        and keeps all that it printed, its start's trace too, in the case's
        log."""
        text = f"{what} (exit status {BACKEND.status_text(status)})"
        server = BACKEND.server_log()
        with open(self.log, "ab") as log:
            log.write(f"--- {text}; it printed:\n".encode() + printed + b"--- end\n")
            if server:
                log.write(b"--- the wineserver's log ends:\n" + server + b"--- end\n")
        said = BACKEND.without_trace(printed).decode(errors="replace").strip().splitlines()
        text += f"; it printed: {' / '.join(said[-5:])}" if said else "; it printed nothing"
        if server:
            text += f"; the wineserver's log ends: {' / '.join(server.decode(errors='replace').splitlines()[-3:])}"
        return text

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
        self.launch(args, env)

    def start_through_shell(self, verb, path):
        """Has the shell run a verb of the file's class, as Explorer does."""
        self.result_file = os.path.join(self.dir, "result")
        self.launch([self.helper("launcher"), "--shell", verb, windows_path(path), windows_path(self.result_file)])

    def launch(self, args, env=None, again=False):
        """Starts the launcher, clearing what an earlier start left."""
        for stale in (self.result_file, self.result_file + ".pid", self.launcher_output):
            if os.path.exists(stale):
                os.remove(stale)
        self.launcher = self.program(*args, env=dict(self.env, **BACKEND.trace(), **(env or {})),
                                     output=self.launcher_output)
        self.process = None
        self.launches = self.launches + 1 if again else 1
        self.last_launch = (args, env)

    def launch_again_if_never_ran(self, what):
        """Starts the launcher again, a few times at most, saying so, if the
        system ended it before its code ran, and so before it started
        anything, or if the system did not start the program it launched
        (under Wine only when the trace shows Wine's own start failure);
        otherwise fails with what. A program that ran is never started
        again."""
        status = self.launcher.poll()
        launcher_never_ran = status == NEVER_RAN and not os.path.exists(self.result_file + ".pid")
        program_never_ran = status == NOT_STARTED and BACKEND.start_failed(read(self.launcher_output))
        if not (launcher_never_ran or program_never_ran):
            raise Failure(what)
        self.start_again("the tool was not started" if program_never_ran else "the launcher never ran", what,
                         self.launches)
        self.launch(*self.last_launch, again=True)

    def start_again(self, why, what, tries):
        """Counts a start that the system failed and says so, in the case's
        output; fails with what after the last try."""
        check(tries < START_TRIES, f"{what}; started {START_TRIES} times")
        self.restarts.append(why)
        print(f"(started again, try {tries + 1} of {START_TRIES}: {what})", flush=True)

    def tool_process(self):
        """The Windows process id of the program that the launcher started,
        which it writes beside its result file."""
        pid_file = self.result_file + ".pid"
        while not self.process:
            wait_for(lambda: os.path.exists(pid_file) and read(pid_file).strip() or self.launcher.poll() is not None,
                     30, "the launcher did not say what it started")
            if os.path.exists(pid_file):
                self.process = read(pid_file).decode().strip()
            else:
                self.launch_again_if_never_ran(self.explain("the launcher started nothing", self.launcher.poll(),
                                                            read(self.launcher_output)))
        return self.process


    def helper(self, name):
        return os.path.join(self.build, "tests", "e2e", name + ".exe")

    def probe(self, *args):
        """Runs the probe with an output file as its second argument; returns
        the file's lines. Once the run has started a program, the probe
        looks at that program's dialog only. The probe creates the file
        before anything else: without it, the probe never ran its own code,
        and it is started again, a few times at most, saying so."""
        out = os.path.join(self.dir, "probe-" + args[0])
        process = ["--process", self.tool_process()] if self.launcher else []
        for attempt in range(1, START_TRIES + 1):
            if os.path.exists(out):
                os.remove(out)
            status, printed = self.helper_run("probe", *process, args[0], windows_path(out), *args[1:])
            if os.path.exists(out):
                break
            self.start_again("the probe never ran", self.explain(f"the probe's {args[0]} never ran", status, printed),
                             attempt)
        lines = read(out).splitlines()
        if status not in (0, PROBE_REFUSED) or ANSWER_END not in lines:
            raise Failure(self.explain(f"the probe's {args[0]} did not finish its answer", status, printed))
        return lines[:lines.index(ANSWER_END)]

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
        for line in lines:
            if line.startswith("foreground-lock-was "):
                self.session.remember_foreground_lock(line.split()[1])
        errors = [line[len("error "):] for line in lines if line.startswith("error ")]
        check(not errors, f"input {' '.join(actions)}: {'; '.join(errors)}")
        return [int(line.split()[1]) for line in lines if line.startswith("focus ")]

    def keys(self, *keys):
        return self.input(*("key:" + key for key in keys))

    def type(self, text):
        self.input("text:" + text.encode().hex())

    def ctrl_backspace_as_windows(self):
        """Under Wine, holds Ctrl+Backspace and puts the DEL character that
        Windows' edit control would type into the field (Wine's ignores
        the chord)."""
        self.input("ctrl-backspace-as-windows:")

    def click(self, target):
        """Clicks a control (by its identifier) or the dialog's close button ("close")."""
        self.input(f"click:{target}")

    def paste(self, text):
        """Puts text on the clipboard and pastes it with Ctrl+V."""
        clip = os.path.join(self.dir, "clip")
        with open(clip, "wb") as f:
            f.write(text.encode())
        status, printed = self.helper_run("probe", "clip", windows_path(clip), timeout=60)
        if status != 0:
            raise Failure(self.explain("could not fill the clipboard", status, printed))
        self.keys("ctrl+v")

    def finish(self):
        """Waits for the tool to end; returns (exit status, windows shown)."""
        while self.launcher.wait(90) != 0 or not os.path.exists(self.result_file):
            self.launch_again_if_never_ran(self.explain("the launcher wrote no result", self.launcher.poll(),
                                                        read(self.launcher_output)))
        lines = read(self.result_file).splitlines()
        if ANSWER_END not in lines:
            raise Failure(self.explain("the launcher did not finish its result", self.launcher.poll(),
                                       read(self.launcher_output)))
        facts = dict(line.decode("ascii").split() for line in lines[:lines.index(ANSWER_END)] if line.strip())
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


def refusal_or_end(run, typed):
    """Waits until the dialog shows a refused rename, the field holding the
    typed name, all of it selected, with the focus; or until the tool has
    ended. Says which."""
    want = {"edit": typed.encode(), "selection": f"0 {len(typed.encode('utf-16-le')) // 2}".encode(),
            "focus": str(EDIT_ID).encode()}
    deadline = time.monotonic() + 10
    while run.launcher.poll() is None:
        facts = run.dialog(limit_ms=0, must_be_ready=False)
        if all(facts.get(key) == value for key, value in want.items()):
            return "refused"
        check(time.monotonic() < deadline, f"after the refusal the dialog should show {want}, it shows {facts}")
        time.sleep(0.05)
    return "ended"


def rectangle(text):
    """A rectangle as the probe writes it: left top right bottom."""
    return tuple(int(n) for n in text.split())


def overlap(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def balloons(run):
    """The tool's visible balloons: [(rectangle, text)]."""
    shown = []
    for line in run.probe("balloons"):
        if line.startswith(b"tip "):
            *corners, text = line[len(b"tip "):].split(b" ", 4)
            shown.append((rectangle(b" ".join(corners)), text.decode()))
    return shown


def system_message(run, code):
    """The system's own text for an error code, as the tool would say it."""
    line = run.probe("message", str(code))[0].decode()
    check(line.startswith("text ") and len(line) > len("text "), f"no system text for error {code}: {line!r}")
    return line[len("text "):]


def expect_refused(run, typed, errors, clear_of_buttons=True):
    """The dialog stays open after a refused rename, for another try, and one
    balloon of the tool gives the system's text for one of these error
    codes, next to the field; unless told otherwise, over neither button.
    Returns the balloon's rectangle and the dialog's facts."""
    check(refusal_or_end(run, typed) == "refused", "the tool ended after a refused rename")
    reasons = {system_message(run, code) for code in errors}
    shown = []
    def explained():
        shown[:] = balloons(run)
        # A system may put the title before the text it reads back.
        return len(shown) == 1 and any(reason in shown[0][1] for reason in reasons)
    wait_for(explained, 5, lambda: f"no one balloon of the tool gives one of {sorted(reasons)}; it shows {shown}")
    d = run.dialog(limit_ms=0, must_be_ready=False)
    where, field = shown[0][0], rectangle(d["field"])
    gap = field[3] - field[1]  # the stem's length, at most a field's height
    check(where[0] < field[2] and field[0] < where[2] and field[1] - gap <= where[3] and where[1] <= field[3] + gap,
          f"the balloon {where} does not point at the field {field}")
    for button in ("ok", "cancel") if clear_of_buttons else ():
        check(not overlap(where, rectangle(d[button])), f"the balloon {where} covers {button} {d[button]}")
    return where, d


def expect_no_balloon(run, after):
    """The balloon goes within two seconds: a system may take a moment."""
    shown = []
    def gone():
        shown[:] = balloons(run)
        return not shown
    wait_for(gone, 2, lambda: f"the tool still shows {shown} after {after}")


def prepare_console():
    """Texts of cases in any script, whatever the console's code page."""
    sys.stdout.reconfigure(errors="backslashreplace")


def describe(error):
    return str(error) if isinstance(error, Failure) else f"{type(error).__name__}: {error}"


def print_traceback(error):
    """A harness error is no case's verdict: show where it came from."""
    if not isinstance(error, Failure):
        print("".join(traceback.format_exception(error)).rstrip(), flush=True)


def run_case(session, name, case, logs=None):
    """Runs one case; returns "passed", "failed" or "skipped". Any error is
    the case's failure, never the end of the run. With logs, a failed case
    leaves its programs' output and a screenshot there."""
    print(f"{name}: {case.__doc__}", flush=True)
    outcome = "passed"
    run = None
    try:
        run = Run(session)
        case(run)
        if run.restarts:
            print(f"(passed after {len(run.restarts)} start(s) tried again)", flush=True)
    except Skipped as skipped:
        print(f"skipped: {skipped}", flush=True)
        outcome = "skipped"
    except Exception as error:
        print(f"FAILED: {describe(error)}", flush=True)
        print_traceback(error)
        if logs and run:
            run.keep_evidence(logs, name, error)
        outcome = "failed"
    try:
        if run:
            session.restarts.update(run.restarts)
            run.close()
    except Exception as error:
        print(f"FAILED: the run did not end cleanly: {describe(error)}", flush=True)
        outcome = "failed"
    if outcome == "passed":
        print("passed", flush=True)
    return outcome


def run_program(session, name, program):
    """Runs one of the build's GoogleTest programs from the build folder."""
    print(f"{name}: {os.path.relpath(program, session.build)}", flush=True)
    log = os.path.join(session.state_dir, name + ".log")
    try:
        with open(log, "wb") as out:
            status = subprocess.run(BACKEND.command(program), cwd=session.build, env=BACKEND.environment(),
                                    stdin=subprocess.DEVNULL, stdout=out, stderr=out, timeout=600).returncode
    except Exception as error:
        print(f"FAILED: {describe(error)}", flush=True)
        return "failed"
    text = read(log).decode(errors="replace")
    summary = [line for line in text.splitlines() if line.startswith(("[  PASSED  ]", "[  FAILED  ]"))]
    print(text if status else "\n".join(summary), flush=True)
    print("passed" if status == 0 else f"FAILED: exit status {status}", flush=True)
    return "passed" if status == 0 else "failed"
