// Starts a program with a command line taken byte for byte from a file (wine64
// would re-quote arguments), waits for it and records how it ended.
//
// usage: launcher PROGRAM LINE-FILE RESULT-FILE [DIRECTORY]
// RESULT-FILE gets "status N" (or "status timeout") and "windows N", the
// most visible top-level windows the program had at once.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr DWORD kLimitMs = 60000;
constexpr DWORD kPollMs = 2;

struct WindowCount {
    DWORD process;
    int visible;
};

BOOL CALLBACK CountWindow(HWND window, LPARAM context) {
    auto* count = reinterpret_cast<WindowCount*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count->process && IsWindowVisible(window)) ++count->visible;
    return TRUE;
}

int VisibleWindows(DWORD process) {
    WindowCount count{process, 0};
    EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&count));
    return count.visible;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    std::ifstream lineFile(argv[2], std::ios::binary);
    std::string line((std::istreambuf_iterator<char>(lineFile)), std::istreambuf_iterator<char>());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(argv[1], &line[0], nullptr, nullptr, FALSE, 0, nullptr, argc > 4 ? argv[4] : nullptr,
                        &startup, &process))
        return 3;
    int mostWindows = 0;
    bool timedOut = false;
    const ULONGLONG deadline = GetTickCount64() + kLimitMs;
    while (WaitForSingleObject(process.hProcess, kPollMs) == WAIT_TIMEOUT) {
        const int visible = VisibleWindows(process.dwProcessId);
        if (visible > mostWindows) mostWindows = visible;
        if (GetTickCount64() > deadline) {
            timedOut = true;
            TerminateProcess(process.hProcess, 255);
            WaitForSingleObject(process.hProcess, INFINITE);
            break;
        }
    }
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    FILE* result = std::fopen(argv[3], "w");
    if (!result) return 4;
    if (timedOut)
        std::fprintf(result, "status timeout\n");
    else
        std::fprintf(result, "status %lu\n", static_cast<unsigned long>(status));
    std::fprintf(result, "windows %d\n", mostWindows);
    std::fclose(result);
    return 0;
}
