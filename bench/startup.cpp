// Start-up benchmark, run under Windows or Wine: for the tool and for the
// floor program in turn, times CreateProcess until the dialog is visible with
// the focus in the name field, and from asking the dialog to close until the
// process has ended.
//
// usage: startup TOOL FLOOR TARGET RUNS OUT-FILE
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kEditId = 201;
constexpr double kLimitSeconds = 30;

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

struct Search {
    DWORD process;
    HWND dialog;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (owner != search->process || std::string(name) != "#32770" || !IsWindowVisible(window)) return TRUE;
    search->dialog = window;
    return FALSE;
}

// The process's dialog once it is visible with the focus in the name field.
HWND ReadyDialog(DWORD process) {
    Search search{process, nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    if (!search.dialog) return nullptr;
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(search.dialog, nullptr), &info)) return nullptr;
    return info.hwndFocus && info.hwndFocus == GetDlgItem(search.dialog, kEditId) ? search.dialog : nullptr;
}

struct Timing {
    double ready;  // CreateProcess until ready to type
    double ending; // close request until the process has ended
};

bool TimeOneRun(const std::string& program, const std::string& target, Timing* timing) {
    std::string line = "\"" + program + "\" \"" + target + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const double start = Now();
    if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    HWND dialog = nullptr;
    while (!(dialog = ReadyDialog(process.dwProcessId))) {
        if (Now() - start > kLimitSeconds) {
            TerminateProcess(process.hProcess, 1);
            return false;
        }
        SwitchToThread();
    }
    timing->ready = Now() - start;
    const double closing = Now();
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    WaitForSingleObject(process.hProcess, INFINITE);
    timing->ending = Now() - closing;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) return 2;
    const std::string programs[2] = {argv[1], argv[2]};
    const std::string target = argv[3];
    const int runs = std::atoi(argv[4]);
    std::vector<double> ready[2], ending[2];
    Timing timing{};
    for (const std::string& program : programs) // warm-up: caches, Wine's services
        if (!TimeOneRun(program, target, &timing)) return 3;
    for (int run = 0; run < runs; ++run) {
        // Alternate, and swap the order each round, so drift hits both alike.
        for (int k = 0; k < 2; ++k) {
            const int which = (run % 2) ? 1 - k : k;
            if (!TimeOneRun(programs[which], target, &timing)) return 3;
            ready[which].push_back(timing.ready);
            ending[which].push_back(timing.ending);
        }
    }
    FILE* out = std::fopen(argv[5], "w");
    if (!out) return 4;
    const char* names[2] = {"tool", "floor"};
    for (int which = 0; which < 2; ++which)
        std::fprintf(out, "%s ready_ms %.1f ending_ms %.1f\n", names[which], 1000 * Median(ready[which]),
                     1000 * Median(ending[which]));
    std::fprintf(out, "ratio ready %.3f ending %.3f\n", Median(ready[0]) / Median(ready[1]),
                 Median(ending[0]) / Median(ending[1]));
    std::fprintf(out, "runs %d\n", runs);
    std::fclose(out);
    return 0;
}
