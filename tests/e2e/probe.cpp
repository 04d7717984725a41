// Reads the rename dialog of another process, for the end-to-end tests.
//
// usage: probe dialog OUT-FILE
// Waits until the dialog is visible with its edit control present and
// focused (or a time limit passes), then writes one "key value" line per
// fact to OUT-FILE; texts are written as raw bytes.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr const char* kCaption = "Plintor Rename";
constexpr int kEditId = 201;
constexpr int kPromptId = 100;
constexpr DWORD kLimitMs = 20000;

// A control's text, asked of its own process: GetWindowTextA would not.
std::string ControlText(HWND control) {
    const LRESULT length = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT copied = SendMessageA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

HWND FocusOf(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

bool Ready(HWND dialog) {
    if (!dialog || !IsWindowVisible(dialog)) return false;
    HWND edit = GetDlgItem(dialog, kEditId);
    return edit && FocusOf(dialog) == edit;
}

void WriteRect(FILE* out, const char* key, HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    std::fprintf(out, "%s %ld %ld %ld %ld\n", key, r.left, r.top, r.right, r.bottom);
}

int Dialog(const char* outPath) {
    HWND dialog = nullptr;
    const ULONGLONG deadline = GetTickCount64() + kLimitMs;
    for (;;) {
        dialog = FindWindowA("#32770", kCaption);
        if (Ready(dialog) || GetTickCount64() > deadline) break;
        Sleep(20);
    }
    FILE* out = std::fopen(outPath, "wb");
    if (!out) return 4;
    std::fprintf(out, "ready %d\n", Ready(dialog) ? 1 : 0);
    if (dialog) {
        HWND edit = GetDlgItem(dialog, kEditId);
        const DWORD selection = static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
        HWND focus = FocusOf(dialog);
        char caption[256] = "";
        GetWindowTextA(dialog, caption, sizeof caption);
        std::fprintf(out, "caption %s\n", caption);
        std::fprintf(out, "prompt %s\n", ControlText(GetDlgItem(dialog, kPromptId)).c_str());
        std::fprintf(out, "edit %s\n", ControlText(edit).c_str());
        std::fprintf(out, "selection %u %u\n", LOWORD(selection), HIWORD(selection));
        std::fprintf(out, "focus %d\n", focus ? GetDlgCtrlID(focus) : 0);
        WriteRect(out, "dialog", dialog);
        WriteRect(out, "ok", GetDlgItem(dialog, IDOK));
        WriteRect(out, "cancel", GetDlgItem(dialog, IDCANCEL));
    }
    std::fclose(out);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "dialog") return Dialog(argv[2]);
    return 2;
}
