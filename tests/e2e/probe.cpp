// Reads the rename dialog of another process, for the end-to-end tests.
//
// usage: probe dialog OUT-FILE [LIMIT-MS]
//   Waits until the dialog is visible with its edit control present and
//   focused (or a time limit passes), then writes one "key value" line per
//   fact to OUT-FILE; texts in UTF-8.
// usage: probe close
//   Waits for the dialog and asks it to close, as the window manager would.
// usage: probe clip TEXT-FILE
//   Puts the UTF-8 text of TEXT-FILE on the clipboard.
// usage: probe registry OUT-FILE KEY NAME [KEY NAME ...]
//   For each value NAME ("" for the default) of a key under
//   HKEY_CURRENT_USER or HKEY_CLASSES_ROOT (HKCU\... or HKCR\...), writes
//   "value DATA" (the string in UTF-8), "no-value" or "no-key" to OUT-FILE,
//   one line each: reg.exe would print non-ASCII text in the OEM code page.
#include <windows.h>

#include <psapi.h> // after windows.h, which it needs

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kCaption = "Plintor Rename";
constexpr int kEditId = 201;
constexpr int kPromptId = 100;
constexpr DWORD kDefaultLimitMs = 20000;

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr,
                        nullptr);
    return bytes;
}

// A window's text in UTF-8, whatever the code pages of the two processes;
// asked of the window itself, since GetWindowText would not ask another
// process's control.
std::string WindowTextUtf8(HWND window) {
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(copied));
    return Utf8(text);
}

// The files of every module loaded in a window's process, ';'-separated:
// the version 6 common controls show there only under a manifest.
std::string ProcessModules(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return "?";
    HMODULE modules[512];
    DWORD bytes = 0;
    std::string list;
    if (EnumProcessModules(process, modules, sizeof modules, &bytes)) {
        for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
            wchar_t path[MAX_PATH] = L"";
            const DWORD length = GetModuleFileNameExW(process, modules[i], path, MAX_PATH);
            list += Utf8(std::wstring(path, length)) + ";";
        }
    }
    CloseHandle(process);
    return list;
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

int Dialog(const char* outPath, DWORD limitMs) {
    HWND dialog = nullptr;
    const ULONGLONG deadline = GetTickCount64() + limitMs;
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
        std::fprintf(out, "caption %s\n", WindowTextUtf8(dialog).c_str());
        std::fprintf(out, "prompt %s\n", WindowTextUtf8(GetDlgItem(dialog, kPromptId)).c_str());
        std::fprintf(out, "edit %s\n", WindowTextUtf8(edit).c_str());
        std::fprintf(out, "selection %u %u\n", LOWORD(selection), HIWORD(selection));
        std::fprintf(out, "focus %d\n", focus ? GetDlgCtrlID(focus) : 0);
        std::fprintf(out, "prompt-style %#lx\n",
                     static_cast<unsigned long>(GetWindowLongPtrA(GetDlgItem(dialog, kPromptId), GWL_STYLE)));
        WriteRect(out, "dialog", dialog);
        WriteRect(out, "ok", GetDlgItem(dialog, IDOK));
        WriteRect(out, "cancel", GetDlgItem(dialog, IDCANCEL));
        std::fprintf(out, "modules %s\n", ProcessModules(dialog).c_str());
    }
    std::fclose(out);
    return 0;
}

} // namespace

int Close() {
    const ULONGLONG deadline = GetTickCount64() + kDefaultLimitMs;
    HWND dialog = nullptr;
    while (!Ready(dialog = FindWindowA("#32770", kCaption))) {
        if (GetTickCount64() > deadline) return 1;
        Sleep(20);
    }
    return PostMessageA(dialog, WM_CLOSE, 0, 0) ? 0 : 1;
}

// Puts the UTF-8 text of a file on the clipboard, for pasting.
int Clip(const char* textPath) {
    FILE* in = std::fopen(textPath, "rb");
    if (!in) return 4;
    std::string bytes;
    for (int c = std::fgetc(in); c != EOF; c = std::fgetc(in))
        bytes += static_cast<char>(c);
    std::fclose(in);
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (static_cast<std::size_t>(units) + 1) * sizeof(wchar_t));
    auto* text = static_cast<wchar_t*>(GlobalLock(memory));
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text, units);
    text[units] = L'\0';
    GlobalUnlock(memory);
    if (!OpenClipboard(nullptr)) return 5;
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return placed ? 0 : 6;
}

std::wstring Wide(const char* utf8) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &text[0], units);
    text.resize(static_cast<std::size_t>(units > 0 ? units - 1 : 0));
    return text;
}

std::string RegistryString(const std::string& path, const char* name) {
    const std::size_t slash = path.find('\\');
    const std::string root = path.substr(0, slash);
    HKEY top = root == "HKCU" ? HKEY_CURRENT_USER : root == "HKCR" ? HKEY_CLASSES_ROOT : nullptr;
    if (!top || slash == std::string::npos) return "bad-key";
    HKEY key = nullptr;
    if (RegOpenKeyExW(top, Wide(path.c_str() + slash + 1).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return "no-key";
    const std::wstring valueName = Wide(name);
    DWORD bytes = 0;
    std::string line = "no-value";
    if (RegGetValueW(key, nullptr, valueName.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &bytes) ==
        ERROR_SUCCESS) {
        std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
        if (RegGetValueW(key, nullptr, valueName.c_str(), RRF_RT_REG_SZ, nullptr, &data[0], &bytes) ==
            ERROR_SUCCESS) {
            data.resize(bytes / sizeof(wchar_t) - 1); // less the NUL
            line = "value " + Utf8(data);
        }
    }
    RegCloseKey(key);
    return line;
}

int Registry(const char* outPath, int count, char** pairs) {
    FILE* out = std::fopen(outPath, "wb");
    if (!out) return 4;
    for (int i = 0; i + 1 < count; i += 2)
        std::fprintf(out, "%s\n", RegistryString(pairs[i], pairs[i + 1]).c_str());
    std::fclose(out);
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 5 && argc % 2 == 1 && std::string(argv[1]) == "registry")
        return Registry(argv[2], argc - 3, argv + 3);
    if ((argc == 3 || argc == 4) && std::string(argv[1]) == "dialog")
        return Dialog(argv[2], argc == 4 ? std::strtoul(argv[3], nullptr, 10) : kDefaultLimitMs);
    if (argc == 3 && std::string(argv[1]) == "clip") return Clip(argv[2]);
    if (argc == 2 && std::string(argv[1]) == "close") return Close();
    return 2;
}
