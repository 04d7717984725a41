// Starts a program with a command line taken byte for byte from a file (wine64
// would re-quote arguments), waits for it and records how it ended.
//
// usage: launcher [--utf8] [--env NAME=VALUE] PROGRAM LINE-FILE RESULT-FILE [DIRECTORY]
//        launcher --shell VERB FILE RESULT-FILE
// With --utf8 the line is UTF-8 and is passed through the wide entry point,
// so that it reaches the program whole whatever this process's code page;
// so is DIRECTORY.
// With --env the program, and not the launcher, gets that variable.
// With --shell, the shell runs the VERB of FILE's class (ShellExecuteEx), as
// Explorer does; VERB and FILE are UTF-8. RESULT-FILE gets "status N" (or "status timeout"), "windows N",
// the most visible top-level windows the program had at once, and "end"; RESULT-FILE.pid gets the
// program's process id as soon as it runs. The program runs in a job that ends it, and whatever it
// started, when the launcher ends for any reason: a killed launcher leaves no dialog behind to spoil the
// next test.
// Exit status: 0 once RESULT-FILE is written; 65 bad usage; 66 a file not written; 67 the system did not
// start the program (or the shell refused the verb), said in a line "not started: ..." with the system's
// error code; 68 no job. None of them is a status that a crash gives (msvcrt's abort() ends with 3,
// Wine's failed start with 1, and under Wine only the low byte of a status such as 0xC0000005 shows).
#include <windows.h>

#include <objbase.h> // these after windows.h, which they need
#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr DWORD kLimitMs = 60000;
constexpr DWORD kPollMs = 2;

constexpr int kBadUsage = 65;
constexpr int kFileError = 66;
constexpr int kNotStarted = 67;
constexpr int kNoJob = 68;

// Says, in a line of its own, that the system did not start the program.
int NotStarted(const char* how) {
    std::fprintf(stderr, "not started: %s failed with error %lu\n", how,
                 static_cast<unsigned long>(GetLastError()));
    return kNotStarted;
}

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

// RESULT-FILE.pid, for the probe to tell this program's dialog from any other.
bool WriteProcessId(const char* resultPath, DWORD id) {
    FILE* out = std::fopen((std::string(resultPath) + ".pid").c_str(), "wb");
    if (!out) return false;
    std::fprintf(out, "%lu\n", static_cast<unsigned long>(id));
    return std::fclose(out) == 0;
}

} // namespace

std::wstring Wide(const std::string& utf8) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], units);
    return text;
}

// A job whose last handle, the launcher's own, ends every process in it.
HANDLE KillOnCloseJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// The last argument of this process's command line, whole whatever its
// code page: the directory, where a UTF-8 start gives one.
std::wstring LastWideArgument() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring last = arguments && count > 0 ? arguments[count - 1] : L"";
    LocalFree(arguments);
    return last;
}

// Started suspended, so that the program is in the job before it can run.
bool Start(bool utf8, const char* program, std::string line, const char* directory,
           PROCESS_INFORMATION* process) {
    constexpr DWORD kFlags = CREATE_SUSPENDED;
    if (!utf8) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        return CreateProcessA(program, &line[0], nullptr, nullptr, FALSE, kFlags, nullptr, directory,
                              &startup, process);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring wideLine = Wide(line);
    const std::wstring wideProgram = Wide(program);
    const std::wstring wideDirectory = directory ? LastWideArgument() : std::wstring();
    return CreateProcessW(wideProgram.c_str(), &wideLine[0], nullptr, nullptr, FALSE, kFlags, nullptr,
                          directory ? wideDirectory.c_str() : nullptr, &startup, process);
}

bool StartThroughShell(const char* verb, const char* file, PROCESS_INFORMATION* process) {
    const std::wstring wideVerb = Wide(verb);
    const std::wstring wideFile = Wide(file);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // The shell may hand the verb to extensions, which need COM.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    // A refused verb must fail here, not wait on a message box.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = wideVerb.c_str();
    info.lpFile = wideFile.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info) || !info.hProcess) return false;
    process->hProcess = info.hProcess;
    process->dwProcessId = GetProcessId(info.hProcess);
    return true;
}

int main(int argc, char** argv) {
    PROCESS_INFORMATION process{};
    const char* resultPath = nullptr;
    HANDLE job = KillOnCloseJob();
    if (!job) return kNoJob;
    if (argc == 5 && std::string(argv[1]) == "--shell") {
        if (!StartThroughShell(argv[2], argv[3], &process)) return NotStarted("ShellExecuteEx");
        // The shell started it running: into the job at once. A process
        // that ended meanwhile cannot join, and needs no job.
        if (!AssignProcessToJobObject(job, process.hProcess) &&
            WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
            return kNoJob;
        resultPath = argv[4];
    } else {
        const bool utf8 = argc > 1 && std::string(argv[1]) == "--utf8";
        if (utf8) {
            --argc;
            ++argv;
        }
        if (argc > 2 && std::string(argv[1]) == "--env") {
            const std::string setting = argv[2];
            const std::size_t equals = setting.find('=');
            if (equals == std::string::npos ||
                !SetEnvironmentVariableA(setting.substr(0, equals).c_str(), setting.c_str() + equals + 1))
                return kBadUsage;
            argc -= 2;
            argv += 2;
        }
        if (argc < 4) return kBadUsage;
        std::ifstream lineFile(argv[2], std::ios::binary);
        std::string line((std::istreambuf_iterator<char>(lineFile)), std::istreambuf_iterator<char>());
        if (!Start(utf8, argv[1], line, argc > 4 ? argv[4] : nullptr, &process))
            return NotStarted(utf8 ? "CreateProcessW" : "CreateProcessA");
        if (!AssignProcessToJobObject(job, process.hProcess)) {
            TerminateProcess(process.hProcess, 255);
            return kNoJob;
        }
        ResumeThread(process.hThread);
        resultPath = argv[3];
    }
    if (!WriteProcessId(resultPath, process.dwProcessId)) return kFileError;
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
    FILE* result = std::fopen(resultPath, "w");
    if (!result) return kFileError;
    if (timedOut)
        std::fprintf(result, "status timeout\n");
    else
        std::fprintf(result, "status %lu\n", static_cast<unsigned long>(status));
    std::fprintf(result, "windows %d\n", mostWindows);
    std::fprintf(result, "end\n");
    return std::fclose(result) == 0 ? 0 : kFileError;
}
