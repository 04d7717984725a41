#!/usr/bin/env python3
"""End-to-end tests of plintor-rename.exe: the real executable, started with
exact raw command lines, read through a Windows-side probe and driven by it
with real key presses and mouse clicks (SendInput). On Linux it runs under
Wine on a virtual X display, on Wine's own desktop; on Windows, natively.

usage: e2e.py BUILD-DIR start        set the session up (Xvfb and the
                                     wineserver, with its own desktop, under
                                     Wine)
       e2e.py BUILD-DIR stop         take it down
       e2e.py BUILD-DIR run CASE     run one case
       e2e.py BUILD-DIR list         list the cases
       e2e.py BUILD-DIR display      print the started session's display
       e2e.py BUILD-DIR all          set up, run the unit tests, the resource
                                     test and every case, take down; ends
                                     with "N passed, N failed, N skipped"
       e2e.py BUILD-DIR smoke        the same for one case that types and
                                     renames: fails in a minute where input
                                     or focus cannot work at all
       e2e.py BUILD-DIR repeat CASE N   the same for CASE, N times in one
                                     session: hunts a failure by chance
           all, smoke and repeat keep a failed case's log and screenshot in
           BUILD-DIR/e2e/logs/all, smoke or repeat; with
           --keep-foreground-lock last, they leave the foreground lock
           lifted for a session that follows (the session that ends without
           it puts it back)
       e2e.py BUILD-DIR pictures [DPI]   set up, take pictures of the
                                     dialog in the README's scenes into
                                     BUILD-DIR/e2e/logs/pictures (under
                                     Wine with DPI, pictures-DPIdpi, in a
                                     Wine prefix of its own), take down
       e2e.py BUILD-DIR bench RUNS   set up, measure start-up (the tool
                                     against the floor program, RUNS each),
                                     take down; prints a table, and adds it
                                     to a GitHub job's summary
"""
import glob
import importlib
import os
import platform
import sys

import backends
import harness
import pictures

# Every tests/e2e/*_cases.py, so that a new file's cases run without being
# named here. The dialog's and the hostile input's run first, as they did
# before files were found: under Wine 10 the balloon's click-through case
# failed when it came after the code-page cases had run Wine in a Japanese
# locale for the first time in the prefix.
FIRST = ["dialog_cases", "hostile_cases"]
FOUND = sorted(os.path.basename(path)[:-3] for path in glob.glob(os.path.join(harness.HERE, "*_cases.py")))
MODULES = [module for module in FIRST if module in FOUND] + [module for module in FOUND if module not in FIRST]
CASES = {name[len("case_"):]: value for module in MODULES
         for name, value in vars(importlib.import_module(module)).items() if name.startswith("case_")}


PROGRAMS = (("unit_tests", os.path.join("tests", "logic_tests.exe")),
            ("resources", os.path.join("tests", "resource_tests.exe")))
SMOKE = "enter_renames"  # a dialog opened, text typed, Enter, the rename on disk


def run_in_session(session, programs, cases, label, last=True):
    """Sets up, runs the GoogleTest programs and the cases (name, case),
    takes down; a failed case leaves its evidence in the logs folder of its
    own for this label. The last session puts the foreground lock back."""
    counts = {"passed": 0, "failed": 0, "skipped": 0}
    logs = os.path.join(session.state_dir, "logs", label)
    try:
        session.start(logs)
    except Exception as error:
        print(f"FAILED: the session did not start: {harness.describe(error)}", flush=True)
        harness.print_traceback(error)
        print(f"its programs' log and a screenshot, where there are any, are in {logs}")
        session.stop(restore=last)
        return 1
    try:
        for name, program in programs:
            counts[harness.run_program(session, name, os.path.join(session.build, program))] += 1
        for name, case in cases:
            outcome = harness.run_case(session, name, case, logs)
            counts[outcome] += 1
            if outcome == "failed":
                print(f"(its log and screenshot: {os.path.join(logs, name)}.log and .png)", flush=True)
    finally:
        session.stop(restore=last)
    summary = f"{counts['passed']} passed, {counts['failed']} failed, {counts['skipped']} skipped"
    if session.restarts:
        whys = ", ".join(f"{why}: {count}" for why, count in session.restarts.most_common())
        summary += f"; {sum(session.restarts.values())} start(s) that the system failed tried again ({whys})"
    print(summary)
    return 1 if counts["failed"] else 0


def run_bench(session, runs):
    """The start-up benchmark, where the suite runs: under Wine or natively."""
    session.start()
    run = harness.Run(session)
    try:
        target = run.make("Quarterly report.txt", b"Figures for the quarter.\n")
        out = os.path.join(run.dir, "startup.txt")
        tool, floor = (harness.windows_path(os.path.join(session.build, *name))
                       for name in (("plintor-rename.exe",), ("bench", "floor.exe")))
        bench = run.program(os.path.join(session.build, "bench", "startup.exe"), tool, floor,
                            harness.windows_path(target), str(runs), harness.windows_path(out))
        harness.check(bench.wait(600) == 0, f"the benchmark failed (exit status {bench.returncode})")
        facts = {line.split()[0]: line.split()[1:] for line in harness.read(out).decode().splitlines()}
    finally:
        run.close()
        session.stop()
    where = (f"Windows {platform.version()}, runner image {os.environ.get('ImageOS', '?')} "
             f"{os.environ.get('ImageVersion', '')}".rstrip() if harness.BACKEND.native else "Wine")
    table = [f"Start-up under {where}: medians of {runs} runs each, after a warm-up", "",
             "| program | start to ready to type | close request to ended |", "|---|---|---|"]
    table += [f"| {name} | {facts[name][1]} ms | {facts[name][3]} ms |" for name in ("tool", "floor")]
    table += [f"| tool/floor | {facts['ratio'][1]} | {facts['ratio'][3]} |"]
    print("\n".join(table))
    if os.environ.get("GITHUB_STEP_SUMMARY"):
        with open(os.environ["GITHUB_STEP_SUMMARY"], "a", encoding="utf-8", newline="\n") as summary:
            summary.write("\n".join(table) + "\n\n")
    return 0


def main():
    harness.prepare_console()
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    session = harness.Session(sys.argv[1])
    harness.BACKEND = (backends.NativeBackend if os.name == "nt" else backends.WineBackend)(session.state_dir)
    last = sys.argv[-1] != "--keep-foreground-lock"
    if not last:
        sys.argv.pop()
    command = sys.argv[2]
    if command == "start":
        session.start()
    elif command == "stop":
        session.stop()
    elif command == "display":
        print(harness.BACKEND.display())
    elif command == "list":
        print("\n".join(CASES))
    elif command == "run" and len(sys.argv) == 4 and sys.argv[3] in CASES:
        outcome = harness.run_case(session, sys.argv[3], CASES[sys.argv[3]])
        return {"passed": 0, "failed": 1, "skipped": harness.SKIPPED}[outcome]
    elif command == "all":
        return run_in_session(session, PROGRAMS, CASES.items(), "all", last)
    elif command == "smoke":
        return run_in_session(session, (), [(SMOKE, CASES[SMOKE])], "smoke", last)
    elif command == "repeat" and len(sys.argv) == 5 and sys.argv[3] in CASES and sys.argv[4].isdigit():
        name, times = sys.argv[3], int(sys.argv[4])
        return run_in_session(session, (), [(f"{name}-{i}", CASES[name]) for i in range(1, times + 1)], "repeat",
                              last)
    elif command == "pictures" and len(sys.argv) == 3:
        return 1 if pictures.take(session, os.path.join(session.state_dir, "logs", "pictures")) else 0
    elif command == "pictures" and len(sys.argv) == 4 and sys.argv[3].isdigit() and not harness.BACKEND.native:
        dpi = int(sys.argv[3])
        # LogPixels stays in a prefix: this one is the DPI's own.
        prefix = os.environ.get("WINEPREFIX") or os.path.join(harness.ROOT, "build", "wineprefix")
        os.environ["WINEPREFIX"] = f"{prefix}-{dpi}dpi"
        return 1 if pictures.take(session, os.path.join(session.state_dir, "logs", f"pictures-{dpi}dpi"), dpi) else 0
    elif command == "bench" and len(sys.argv) == 4 and sys.argv[3].isdigit():
        return run_bench(session, int(sys.argv[3]))
    else:
        sys.exit(__doc__)
    return 0


if __name__ == "__main__":
    sys.exit(main())
