"""Text outside the caller's code page, which only the UTF-8 code page of the
manifest lets through whole."""

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

