"""Pictures of the dialog as the system at hand draws it, in the scenes of
the README's pictures: the fresh dialog, a name too long for its prompt,
and a refused rename with its balloon. Each is cropped to the dialog and
its balloon, with the whole screen beside it."""
import os
import time

import harness
from harness import Failure, expect_refused, quoted, rectangle, tool_line

ERROR_ALREADY_EXISTS = 183
QUARTERLY = "Quarterly report.txt"
LONG = "Annual Report 2024 - Final Version (Reviewed by Legal and Finance).docx"
MARGIN = 8  # round a balloon, as in the README's pictures


def scene_dialog(run):
    run.start(tool_line(quoted(run.make(QUARTERLY, b"Figures for the quarter.\n"))))
    run.dialog()
    run.input()  # in front, as a dialog that the user just opened


def scene_long_name(run):
    run.start(tool_line(quoted(run.make(LONG, b"The annual report.\n"))))
    run.dialog()
    run.input()


def scene_refused(run):
    run.make("Annual report.txt", b"Figures for the year.\n")
    run.start(tool_line(quoted(run.make(QUARTERLY, b"Figures for the quarter.\n"))))
    run.dialog()
    run.type("Annual report.txt")
    run.keys("Return")
    expect_refused(run, "Annual report.txt", [ERROR_ALREADY_EXISTS])


SCENES = (("dialog", scene_dialog), ("long-name", scene_long_name), ("refused", scene_refused))


def picture(run, folder, name):
    """Saves name.png, the dialog and any balloon, and name-screen.png."""
    time.sleep(0.5)  # the caret, the selection and a balloon paint
    d = run.dialog(limit_ms=0, must_be_ready=False)
    shown = harness.balloons(run)
    # Where everything is, in the system's own pixels: what a picture shows.
    print(f"{name}: " + ", ".join(f"{part} {d[part].decode()}" for part in ("dialog", "field", "ok", "cancel")) +
          "".join(f", balloon {' '.join(map(str, where))} {text!r}" for where, text in shown), flush=True)
    left, top, right, bottom = rectangle(d["dialog"])
    for (l, t, r, b), _ in shown:
        left, top = min(left, l - MARGIN), min(top, t - MARGIN)
        right, bottom = max(right, r + MARGIN), max(bottom, b + MARGIN)
    for file, area in ((name + ".png", (left, top, right, bottom)), (name + "-screen.png", ())):
        path = os.path.join(folder, file)
        status, printed = run.helper_run("probe", "screenshot", harness.windows_path(path), *map(str, area),
                                         timeout=60)
        if status != 0 or not os.path.exists(path):
            raise Failure(run.explain(f"the probe could not save {file}", status, printed))


def take(session, folder, dpi=None):
    """Sets up, takes each scene's pictures in folder, takes down; returns
    the number of scenes that failed. With dpi (under Wine), the tool
    starts at that many dots per inch."""
    os.makedirs(folder, exist_ok=True)
    failed = 0
    session.start()
    try:
        if dpi:
            run = harness.Run(session)
            try:
                for key in ("HKCU\\Control Panel\\Desktop",
                            "HKLM\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts"):
                    run.reg("add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
            finally:
                run.close()
        for name, scene in SCENES:
            run = harness.Run(session)
            try:
                scene(run)
                picture(run, folder, name)
                run.keys("Escape")
                harness.expect_equal(run.finish()[0], "0", "exit status")
                print(f"{name}: {os.path.join(folder, name)}.png and -screen.png", flush=True)
            except Exception as error:
                failed += 1
                print(f"{name}: FAILED: {harness.describe(error)}", flush=True)
                harness.print_traceback(error)
            finally:
                run.close()
    finally:
        session.stop()
    print(f"pictures: {len(SCENES) - failed} of {len(SCENES)} scenes taken, in {folder}", flush=True)
    return failed
