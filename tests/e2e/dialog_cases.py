"""The dialog as a user meets it: what it shows, and what each way of
confirming or leaving it does on disk."""

import contextlib
import os

import harness
from harness import *



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


def case_ctrl_backspace_erases_a_word(run):
    """Ctrl+Backspace, as Windows' edit control types it (a DEL character at
    the caret): with the whole name selected it empties the field, and
    Ctrl+Z brings no DEL back; after "Annual report" it erases "report",
    which Ctrl+Z brings back alone; with "report" selected it erases that
    alone; the name confirmed holds no DEL."""
    if harness.BACKEND.native:
        raise Skipped("Windows' own control types the DEL: the real-key case covers it")
    target = run.make("Quarterly report.txt", b"q\n")
    run.start(tool_line(quoted(target)))
    run.dialog()
    run.ctrl_backspace_as_windows()
    expect_equal(run.dialog()["edit"], b"", "the field after Ctrl+Backspace over the whole name")
    run.keys("ctrl+z")
    expect_equal(run.dialog()["edit"], b"", "the field after Ctrl+Backspace over the whole name, then Ctrl+Z")
    run.type("Annual report")
    run.ctrl_backspace_as_windows()
    expect_equal(run.dialog()["edit"], b"Annual ", "the field after Ctrl+Backspace")
    run.keys("ctrl+z")
    expect_equal(run.dialog()["edit"], b"Annual report", "the field after Ctrl+Backspace, then Ctrl+Z")
    run.keys("End", *["shift+Left"] * len("report"))
    run.ctrl_backspace_as_windows()
    expect_equal(run.dialog()["edit"], b"Annual ", "the field after Ctrl+Backspace over the selected word")
    rename_and_expect(run, "summary.txt", {"Annual summary.txt": b"q\n"})


@windows_only("Wine's edit control ignores Ctrl+Backspace")
def case_real_ctrl_backspace_erases_a_word(run):
    """The real Ctrl+Backspace after "Annual report" erases "report", and
    Ctrl+Z brings back "report" alone."""
    target = run.make("Quarterly report.txt", b"q\n")
    run.start(tool_line(quoted(target)))
    run.dialog()
    run.type("Annual report")
    run.keys("ctrl+BackSpace")
    expect_equal(run.dialog()["edit"], b"Annual ", "the field after Ctrl+Backspace")
    run.keys("ctrl+z")
    expect_equal(run.dialog()["edit"], b"Annual report", "the field after Ctrl+Backspace, then Ctrl+Z")
    run.keys("ctrl+BackSpace")
    rename_and_expect(run, "summary.txt", {"Annual summary.txt": b"q\n"})


def case_name_holding_a_delete_character_kept(run):
    """A DEL character already in a name is shown whole and kept on Enter."""
    name = "a\x7fb.txt"
    target = run.make(name, b"d\n")
    before = run.listing()
    run.start(tool_line(quoted(target)))
    expect_equal(run.dialog()["edit"].decode(), name, "edit text")
    run.keys("Return")
    expect_unchanged(run, before, run.finish()[0])


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


ERROR_FILE_NOT_FOUND, ERROR_INVALID_NAME, ERROR_ALREADY_EXISTS = 2, 123, 183


def refuse_taken_name(run, confirm=lambda run: run.keys("Return")):
    """Opens the dialog on a.txt beside b.txt, types b.txt and confirms: the
    name is refused, its reason shown. Returns the folder as it was."""
    target = run.make("a.txt", b"first\n")
    run.make("b.txt", b"second\n")
    before = run.listing()
    run.start(tool_line(quoted(target)))
    run.dialog()
    run.type("b.txt")
    confirm(run)
    expect_refused(run, "b.txt", [ERROR_ALREADY_EXISTS])
    return before


def case_existing_name_refused_then_another_renames(run):
    """A name that exists is refused: the dialog stays open with it selected
    and both files intact; typing takes the reason away; another name then
    renames."""
    before = refuse_taken_name(run)
    expect_equal(run.listing(), before, "files after the refusal")
    run.type("c.txt")
    expect_no_balloon(run, "typing")
    confirm_and_expect(run, {"c.txt": b"first\n", "b.txt": b"second\n"})


def case_refused_ok_click_hands_the_field_back(run):
    """OK clicked on a name that exists: the focus comes back to the field;
    one click at Cancel's centre, while the reason shows, then leaves
    everything as it was."""
    before = refuse_taken_name(run, lambda run: run.click(IDOK))
    run.click(IDCANCEL)
    expect_unchanged(run, before, run.finish()[0])


def case_refused_name_freed_then_ok_renames(run):
    """The name was taken; the other file goes while the reason shows; one
    click at OK's centre then renames."""
    refuse_taken_name(run)
    os.remove(run.path("b.txt"))
    run.click(IDOK)
    status, _ = run.finish()
    expect_equal(status, "0", "exit status")
    expect_equal(run.listing(), {"b.txt": b"first\n"}, "files")


def case_balloon_goes_with_a_moved_dialog_and_lets_clicks_through(run):
    """Moving the dialog takes the reason away. Against the screen's right
    edge, the next reason is kept on the screen, over Cancel under Wine; a
    click at Cancel's centre goes through it to Cancel and leaves everything
    as it was."""
    before = refuse_taken_name(run)
    status, printed = run.helper_run("probe", "--process", run.tool_process(), "to-right-edge", timeout=60)
    check(status == 0, run.explain("the probe could not move the dialog", status, printed))
    expect_no_balloon(run, "moving the dialog")
    run.keys("Return")
    where, d = expect_refused(run, "b.txt", [ERROR_ALREADY_EXISTS], clear_of_buttons=False)
    # Wine pushes the balloon back onto the screen, over Cancel; where
    # Windows keeps it is its own, and the output says which it was.
    covered = overlap(where, rectangle(d["cancel"]))
    check(harness.BACKEND.native or covered,
          f"the balloon {where} does not cover Cancel {d['cancel'].decode()}: the case would prove nothing")
    cancel = d["cancel"].decode()
    print(f"(over Cancel: the balloon {where}, Cancel {cancel}; the click goes through it)" if covered else
          f"(not over Cancel here: the balloon {where}, Cancel {cancel}; the click-through stays unproven)",
          flush=True)
    run.click(IDCANCEL)
    expect_unchanged(run, before, run.finish()[0])


def case_vanished_target_refused(run):
    """A target moved away while the dialog is open: the rename is refused
    and the dialog stays; Esc then ends it, creating nothing."""
    target = run.make("report.txt", b"r\n")
    run.start(tool_line(quoted(target)))
    run.dialog()
    os.rename(target, run.path("moved.txt"))
    before = run.listing()
    run.type("new.txt")
    run.keys("Return")
    expect_refused(run, "new.txt", [ERROR_FILE_NOT_FOUND])
    run.keys("Escape")
    expect_unchanged(run, before, run.finish()[0])


def case_refusal_explained_in_a_balloon(run):
    """A refused rename says why in a balloon on the field, in the system's
    own words; a second refusal gives its own reason; Tab to OK takes it
    away; closing then leaves everything as it was."""
    target = run.make("report.txt")
    run.make("taken.txt")
    before = run.listing()
    run.start(tool_line(quoted(target)))
    run.dialog()
    run.type("taken.txt")
    run.keys("Return")
    expect_refused(run, "taken.txt", [ERROR_ALREADY_EXISTS])
    run.type("report?.txt")
    run.keys("Return")
    expect_refused(run, "report?.txt", [ERROR_INVALID_NAME])
    expect_equal(run.keys("Tab"), [IDOK], "the focus after Tab")
    expect_no_balloon(run, "the field lost the focus")
    # The probe's input wants the focus in the field: close the dialog as
    # the system's close command does.
    status, printed = run.helper_run("probe", "--process", run.tool_process(), "close", timeout=60)
    check(status == 0, run.explain("the probe could not close the dialog", status, printed))
    expect_unchanged(run, before, run.finish()[0])


def fails_with_its_dialog_open(run):
    """(fails on purpose, with its dialog open, on an error that is no Failure)"""
    run.make("report.txt")
    run.start(tool_line(quoted(run.path("report.txt"))))
    run.dialog()
    raise OSError("failing on purpose")


def case_failed_case_ends_its_programs(run):
    """A case that fails with its dialog open fails alone and takes its
    programs with it: no dialog is left, and the next run's dialog works."""
    expect_equal(run_case(run.session, "fails_with_its_dialog_open", fails_with_its_dialog_open), "failed",
                 "the failing case's outcome")
    wait_for(lambda: "caption" not in run.dialog(limit_ms=0, must_be_ready=False), 10,
             "a dialog outlived the case that opened it")
    target = run.make("report.txt")
    before = run.listing()
    run.start(tool_line(quoted(target)))
    run.type("renamed.txt")
    run.keys("Escape")
    expect_unchanged(run, before, run.finish()[0])


@contextlib.contextmanager
def first_start_fails():
    """Has Wine fail the next helper start before the helper's code runs
    (WINEDEBUG=help prints Wine's usage and exits 1); yields the list of
    starts made meanwhile."""
    trace, starts = harness.BACKEND.trace, []
    def failing_first():
        starts.append(len(starts))
        return {"WINEDEBUG": "help"} if len(starts) == 1 else trace()
    harness.BACKEND.trace = failing_first
    try:
        yield starts
    finally:
        harness.BACKEND.trace = trace


def case_probe_that_never_ran_is_started_again(run):
    """A probe that the system fails to start before its code runs (provoked
    under Wine with WINEDEBUG=help, which prints Wine's usage and exits 1) is
    started again, and the case says so; a probe that ran and could not do
    what it was asked is not; a probe that crashed (an uncaught exception,
    provoked by text that is not hex) is taken neither for a refusal nor for
    an answer."""
    if harness.BACKEND.native:
        raise Skipped("only Wine can be made to fail a start on purpose")
    run.make("report.txt")
    run.start(tool_line(quoted(run.path("report.txt"))))
    run.dialog()
    # Only the starts tried again from here on: the system may have failed
    # one by itself before.
    before = len(run.restarts)
    with first_start_fails() as starts:
        expect_equal(run.dialog()["edit"], b"report.txt", "edit text read by the second start")
        expect_equal((len(starts), len(run.restarts) - before), (2, 1), "starts of the probe, and starts tried again")
        refusal = failure_of(lambda: run.input("key:Escape", focus=IDCANCEL))
        check("not 2" in refusal, f"the probe's refusal: {refusal}")
        expect_equal((len(starts), len(run.restarts) - before), (3, 1),
                     "starts after a refusal, which is no failed start")
    crash = failure_of(lambda: run.input("text:zz"))
    check("did not finish its answer (exit status 3 " in crash, f"the probe's crash: {crash}")
    expect_equal(len(run.restarts) - before, 1, "starts tried again after a crash, which is no failed start")
    del run.restarts[before]  # provoked: not to be counted as the system's
    run.keys("Escape")
    expect_equal(run.finish()[0], "0", "exit status")


def failure_of(action):
    """The message of the Failure that action must raise."""
    try:
        action()
    except Failure as failure:
        return str(failure)
    raise Failure("no failure where one was due")


def case_launcher_that_never_ran_is_started_again(run):
    """A launcher that the system fails to start (provoked as above) is
    started again, and the case says so: it had started nothing."""
    if harness.BACKEND.native:
        raise Skipped("only Wine can be made to fail a start on purpose")
    target = run.make("report.txt", b"r\n")
    with first_start_fails():
        run.start(tool_line(quoted(target)))
        run.tool_process()
    expect_equal((run.launches, run.restarts), (2, ["the launcher never ran"]),
                 "starts of the launcher, and why one was tried again")
    run.restarts = []  # provoked: not to be counted as the system's
    rename_and_expect(run, "new.txt", {"new.txt": b"r\n"})


def case_tool_that_never_started_is_started_again(run):
    """The tool, when Wine fails to start it (provoked with WINEDEBUG=help
    for the tool alone: the launcher's CreateProcess fails), is started
    again, and the case says so; a tool that started and ended is not."""
    if harness.BACKEND.native:
        raise Skipped("only Wine can be made to fail a start on purpose")
    target = run.make("report.txt", b"r\n")
    launch = run.launch
    def failing_first(args, env=None, again=False):
        launch(args if again else [args[0], "--env", "WINEDEBUG=help", *args[1:]], env, again)
        run.last_launch = (args, env)
    run.launch = failing_first
    run.start(tool_line(quoted(target)))
    run.tool_process()
    del run.launch
    expect_equal((run.launches, run.restarts), (2, ["the tool was not started"]),
                 "starts of the launcher, and why one was tried again")
    run.restarts = []  # provoked: not to be counted as the system's
    rename_and_expect(run, "new.txt", {"new.txt": b"r\n"})
    run.start(tool_line(quoted(run.path("new.txt"))), program="plintor-rename-failing-allocator.exe",
              env={"PLINTOR_FAIL_AFTER": "0"})
    expect_equal(run.finish()[0], "203", "the status of a tool that ran out of memory at once")
    expect_equal((run.launches, run.restarts), (1, []), "starts of a tool that ran")


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
    the run needs fewer allocations than allowed and, after a refused name,
    renames as usual."""
    for limit in range(500):
        # A fresh folder each time: Windows may still be deleting the last.
        run.work = os.path.join(run.dir, f"work-{limit}")
        run.make("report.txt", b"data\n")
        run.make("taken.txt", b"taken\n")
        before = run.listing()
        run.start(tool_line(quoted(run.path("report.txt"))), program="plintor-rename-failing-allocator.exe",
                  env={"PLINTOR_FAIL_AFTER": str(limit)})
        # Only confirming allocates: the run can end after each Enter.
        if run.dialog_or_end() == "dialog":
            run.type("taken.txt")
            run.keys("Return")
            if refusal_or_end(run, "taken.txt") == "refused":
                run.type("new.txt")
                run.keys("Return")
        status, _ = run.finish()
        if status == "0":
            check(limit > 0, "the run needs at least one allocation")
            expect_equal(run.listing(), {"new.txt": b"data\n", "taken.txt": b"taken\n"},
                         f"files after a run with {limit} allocations")
            print(f"every one of the {limit} allocations of a run was made to fail in turn")
            return
        expect_equal(status, "203", f"exit status when allocation {limit + 1} fails")
        expect_equal(run.listing(), before, f"files when allocation {limit + 1} fails")
    raise Failure("the run never completed")



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

