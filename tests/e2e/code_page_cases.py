"""Text outside the caller's code page, which only the UTF-8 code page of the
manifest lets through whole."""

import os
import subprocess

import harness
from harness import *

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



# Without the manifest's UTF-8 code page (Windows before 10 version 1903),
# here code page 1252: a name outside it would reach the tool as a
# look-alike, and is refused before anything is renamed.
SYSTEM_CODE_PAGE = "plintor-rename-system-code-page.exe"
ERROR_NO_UNICODE_TRANSLATION = 1113


def start_in_system_code_page(run, name):
    run.start(TOOL + b' "' + windows_path(run.path(name)).encode() + b'"', utf8=True, program=SYSTEM_CODE_PAGE)
    run.dialog()


def expect_look_alike_refused(run, before, typed="new.txt"):
    """Typing a name and pressing Enter is refused with error 1113's text;
    Esc then leaves the folder as it was before."""
    run.type(typed)
    run.keys("Return")
    expect_refused(run, typed, [ERROR_NO_UNICODE_TRANSLATION])
    expect_equal(run.listing(), before, "files after the refusal")
    run.keys("Escape")
    expect_unchanged(run, before, run.finish()[0])


def look_alike_refused(target, beside, typed="new.txt"):
    def case(run):
        run.make(target, b"chosen\n")
        if beside:
            run.make(beside, b"look-alike\n")
        before = run.listing()
        start_in_system_code_page(run, target)
        expect_look_alike_refused(run, before, typed)
    return case


case_full_width_target_refused = look_alike_refused("\uff52\uff45\uff50\uff4f\uff52\uff54.txt", "report.txt")
case_full_width_target_refused.__doc__ = ("Without UTF-8, a full-width target beside its look-alike: neither is "
                                          "renamed, and the reason is the system's text for error 1113.")
case_look_alike_quote_refused = look_alike_refused("a\uff02 b.txt", "a")
case_look_alike_quote_refused.__doc__ = ("Without UTF-8, a name holding U+FF02, whose look-alike quote would "
                                         "split it, beside the file it would then name: nothing is renamed.")
case_typed_full_width_name_refused = look_alike_refused("plain.txt", None, "\uff4e\uff45\uff57.txt")
case_typed_full_width_name_refused.__doc__ = "Without UTF-8, a typed full-width name is refused."


def case_accented_names_renamed_without_utf8(run):
    """Without UTF-8, names within code page 1252 rename as before."""
    run.make("caf\u00e9.txt", b"c\n")
    start_in_system_code_page(run, "caf\u00e9.txt")
    rename_and_expect(run, "r\u00e9sum\u00e9.txt", {"r\u00e9sum\u00e9.txt": b"c\n"})


def japanese_code_page(run):
    """The environment that has Wine run a program at code page 932: a
    Japanese locale, compiled once into the build's own folder."""
    if harness.BACKEND.native:
        raise Skipped("only Wine runs one program at another code page")
    locales = os.path.join(run.session.state_dir, "locales")
    if not os.path.isdir(os.path.join(locales, "ja_JP.UTF-8")):
        os.makedirs(locales, exist_ok=True)
        made = subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8", os.path.join(locales, "ja_JP.UTF-8")],
                              stdin=subprocess.DEVNULL, capture_output=True, text=True)
        check(made.returncode in (0, 1) and os.path.isdir(os.path.join(locales, "ja_JP.UTF-8")),
              f"localedef could not make ja_JP.UTF-8 (Debian's package locales): {made.stderr.strip()}")
    # LC_ALL, which outranks any other locale variable the caller has set.
    return {"LC_ALL": "ja_JP.UTF-8", "LOCPATH": locales}


def case_yen_sign_refused_at_code_page_932(run):
    """Without UTF-8, at Japanese code page 932, where U+00A5 becomes a
    backslash: a target holding it, beside the folder and file that its
    look-alike names, is refused, and nothing is renamed."""
    # The probe too, so that it reads the reason in the same language.
    run.env.update(japanese_code_page(run))
    run.make("a\u00a5b.txt", b"chosen\n")
    run.make("a/b.txt", b"look-alike\n")
    before = run.listing()
    start_in_system_code_page(run, "a\u00a5b.txt")
    expect_look_alike_refused(run, before)


def case_look_alike_current_directory_refused(run):
    """Without UTF-8, a bare name in a current directory named in full-width
    letters, beside the folder that its look-alike names: refused, and
    nothing is renamed."""
    run.make("\uff44\uff41\uff54\uff41/report.txt", b"chosen\n")
    run.make("data/report.txt", b"look-alike\n")
    before = run.listing()
    run.start(tool_line(b"report.txt"), cwd=run.path("\uff44\uff41\uff54\uff41"), utf8=True, program=SYSTEM_CODE_PAGE)
    run.dialog()
    expect_look_alike_refused(run, before)


# U+4E88 and U+8868 end in 0x5C, a backslash's byte, at code page 932.
SCHEDULE = "\u4e88\u5b9a\u8868"


def case_double_byte_name_split_between_characters(run):
    """Without UTF-8, at code page 932: a name whose characters end in a
    backslash's byte is shown whole and renamed to the typed name."""
    run.env.update(japanese_code_page(run))
    run.make(SCHEDULE + ".xlsx", b"s\n")
    start_in_system_code_page(run, SCHEDULE + ".xlsx")
    d = run.dialog()
    expect_equal((d["prompt"].decode(), d["edit"].decode()), (f'Rename "{SCHEDULE}.xlsx" to:', SCHEDULE + ".xlsx"),
                 "prompt and edit text")
    rename_and_expect(run, "\u4f1a\u8b70.xlsx", {"\u4f1a\u8b70.xlsx": b"s\n"})


def case_bare_name_in_a_double_byte_current_directory(run):
    """Without UTF-8, at code page 932: a bare name in a current directory
    whose last character ends in a backslash's byte is renamed there."""
    run.env.update(japanese_code_page(run))
    run.make(SCHEDULE + "/a.txt", b"a\n")
    run.start(tool_line(b"a.txt"), cwd=run.path(SCHEDULE), utf8=True, program=SYSTEM_CODE_PAGE)
    run.dialog()
    rename_and_expect(run, "b.txt", {SCHEDULE + "/b.txt": b"a\n", SCHEDULE + "/": None})
