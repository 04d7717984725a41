// The probe's input verb: the foreground for the dialog, then key presses,
// typed text and clicks sent through SendInput, as a user would.
#include "probe.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// As a quick typist: the system delivers injected input asynchronously.
constexpr DWORD kPaceMs = 30;

// Lets the dialog's thread take in what was sent before the next event.
void Settle(HWND dialog) {
    Sleep(kPaceMs);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored);
}

bool Send(INPUT input) { return SendInput(1, &input, sizeof input) == 1; }

bool SendKey(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    // End, Home and the arrows are the extended keys, not the keypad's.
    const bool extended = key >= VK_END && key <= VK_DOWN;
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return Send(input);
}

bool SendUnit(wchar_t unit, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = unit;
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    return Send(input);
}

// A button event that carries its own position, in the primary screen's
// normalised coordinates: a bare button event lands wherever the system
// last saw the pointer, which may lag behind SetCursorPos.
bool SendButton(DWORD flags, POINT at) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return Send(input);
}

bool InMenuMode(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) &&
           (info.flags & (GUI_INMENUMODE | GUI_SYSTEMMENUMODE | GUI_POPUPMENUMODE));
}

constexpr const char* kWays[] = {"SetForegroundWindow", "attached to the foreground thread's input",
                                 "attached, after a key press", "SwitchToThisWindow"};

// The desktop's foreground lock time-out, lifted for the session so that
// later dialogs come to the front by themselves, as on a desktop where the
// user just clicked. Only a thread that may set the foreground window may
// change it, so it is tried where the probe is about to: before each request
// for the foreground. Not written to the user's profile.
struct ForegroundLockState {
    bool settled = false; // lifted, or found at 0
    DWORD was = 0;        // the time-out it was lifted from
    std::string said = "not tried: the dialog held the foreground";
};
ForegroundLockState gLock;

void LiftForegroundLock(const char* moment) {
    if (gLock.settled) return;
    DWORD timeout = 0;
    if (!SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0)) {
        gLock.said = "not read: error " + std::to_string(GetLastError()) + ", " + moment;
    } else if (timeout == 0) {
        gLock = {true, 0, std::string("already 0 ms, ") + moment};
    } else if (SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0)) {
        gLock = {true, timeout, "lifted from " + std::to_string(timeout) + " ms, " + moment};
    } else {
        gLock.said = "not lifted from " + std::to_string(timeout) + " ms: error " +
                     std::to_string(GetLastError()) + ", " + moment;
    }
}

// One request for the foreground, in one of the usual ways: 0 directly,
// 1 attached to the foreground thread's input, 2 also after a key press,
// which grants the right, 3 as the task switcher does it, for a console
// that holds the foreground as a hosted runner's does.
void AskForeground(HWND dialog, int way) {
    const DWORD self = GetCurrentThreadId();
    HWND current = GetForegroundWindow();
    const DWORD owner = current ? GetWindowThreadProcessId(current, nullptr) : 0;
    const bool attached = way >= 1 && owner && owner != self && AttachThreadInput(self, owner, TRUE);
    if (way == 2) {
        SendKey(VK_MENU, false);
        SendKey(VK_MENU, true);
    }
    LiftForegroundLock((std::string("before a request by way ") + std::to_string(way)).c_str());
    BringWindowToTop(dialog);
    if (way == 3)
        SwitchToThisWindow(dialog, TRUE);
    else
        SetForegroundWindow(dialog);
    if (attached) AttachThreadInput(self, owner, FALSE);
}

// The foreground rules stop a process that did not start the dialog: try
// each way in turn until the dialog is the foreground window. Prints which
// way took it.
bool TakeForeground(HWND dialog) {
    int requests = 0, way = 0;
    for (; way < 4 && GetForegroundWindow() != dialog; ++way) {
        for (int attempt = 0; attempt < 10 && GetForegroundWindow() != dialog; ++attempt, ++requests) {
            AskForeground(dialog, way);
            Sleep(50);
        }
    }
    if (requests == 0)
        std::printf("foreground: the dialog held it already\n");
    else if (GetForegroundWindow() == dialog)
        std::printf("foreground: taken by way %d (%s), after %d request(s)\n", way - 1, kWays[way - 1],
                    requests);
    else
        std::printf("foreground: not taken in %d requests; %s holds it\n", requests,
                    Describe(GetForegroundWindow()).c_str());
    // A lone Alt that reached the dialog opens its system menu: leave it.
    if (InMenuMode(dialog)) {
        SendKey(VK_ESCAPE, false);
        SendKey(VK_ESCAPE, true);
        Settle(dialog);
    }
    return GetForegroundWindow() == dialog && !InMenuMode(dialog);
}

WORD VirtualKey(const std::string& name) {
    if (name == "Return") return VK_RETURN;
    if (name == "Escape") return VK_ESCAPE;
    if (name == "BackSpace") return VK_BACK;
    if (name == "Tab") return VK_TAB;
    if (name == "F4") return VK_F4;
    if (name == "alt") return VK_MENU;
    if (name == "ctrl") return VK_CONTROL;
    if (name == "shift") return VK_SHIFT;
    if (name == "Left") return VK_LEFT;
    if (name == "End") return VK_END;
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[0])));
    return 0;
}

// "alt+F4": modifiers down in order, the key pressed, modifiers up.
std::string PressKeys(HWND dialog, const std::string& chord) {
    std::vector<WORD> keys;
    for (std::size_t start = 0;;) {
        const std::size_t plus = chord.find('+', start);
        const WORD key = VirtualKey(chord.substr(start, plus - start));
        if (!key) return "unknown key in " + chord;
        keys.push_back(key);
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    for (WORD key : keys)
        if (!SendKey(key, false)) return "SendInput refused " + chord;
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
        SendKey(*key, true);
    Settle(dialog);
    return "";
}

// Each character only while the dialog holds the foreground: a key sent
// after it lost it would go elsewhere, and the field would hold less than
// was typed.
std::string TypeText(HWND dialog, const std::string& hex) {
    std::string utf8;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        utf8 += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    const std::wstring units = Wide(utf8.c_str());
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (GetForegroundWindow() != dialog)
            return "the dialog lost the foreground to " + Describe(GetForegroundWindow()) + " after " +
                   std::to_string(i) + " of " + std::to_string(units.size()) + " characters";
        if (!SendUnit(units[i], false) || !SendUnit(units[i], true)) return "SendInput refused the text";
        Settle(dialog);
    }
    return "";
}

// The middle of the close button, found by asking the window itself which
// part of its caption row answers HTCLOSE.
bool CloseButton(HWND dialog, POINT* point) {
    TITLEBARINFO title{};
    title.cbSize = sizeof title;
    if (!GetTitleBarInfo(dialog, &title)) return false;
    const LONG y = (title.rcTitleBar.top + title.rcTitleBar.bottom) / 2;
    LONG first = -1, last = -1;
    for (LONG x = title.rcTitleBar.right; x >= title.rcTitleBar.left; --x) {
        const LRESULT hit = SendMessageW(dialog, WM_NCHITTEST, 0, MAKELPARAM(x, y));
        if (hit == HTCLOSE) {
            if (last < 0) last = x;
            first = x;
        } else if (last >= 0) {
            break;
        }
    }
    if (last < 0) return false;
    *point = {(first + last) / 2, y};
    return true;
}

// The deepest visible, enabled window at point within window, as
// WindowFromPoint would find it there.
HWND DeepestAt(HWND window, POINT point) {
    for (;;) {
        POINT inside = point;
        ScreenToClient(window, &inside);
        HWND child = ChildWindowFromPointEx(window, inside, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
        if (!child || child == window) return window;
        window = child;
    }
}

// Whether a press at point reaches target, a control of dialog or the
// dialog itself: the window there is the target, or is a window of the
// dialog's thread that lets clicks through (HTTRANSPARENT), which hands them
// to the window beneath in that thread: the dialog's deepest child there
// must then be the target. Empty when it does; otherwise names the window
// that would take the click unnoticed.
std::string CheckLanding(HWND dialog, HWND target, POINT point) {
    const std::string where = "a click at " + std::to_string(point.x) + "," + std::to_string(point.y);
    HWND found = WindowFromPoint(point);
    if (found == target) return "";
    RECT r{};
    const bool passes =
        found && GetWindowThreadProcessId(found, nullptr) == GetWindowThreadProcessId(dialog, nullptr) &&
        SendMessageW(found, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y)) == HTTRANSPARENT;
    if (!passes || !GetWindowRect(dialog, &r) || !PtInRect(&r, point))
        return where + " would land on " + Describe(found) + ", not on " + Describe(target);
    HWND beneath = DeepestAt(dialog, point);
    if (beneath == target) return "";
    return where + " would pass through " + Describe(found) + " to " + Describe(beneath) + ", not to " +
           Describe(target);
}

std::string Click(HWND dialog, const std::string& target) {
    POINT point{};
    HWND aim = dialog;
    if (target == "close") {
        if (!CloseButton(dialog, &point)) return "no part of the caption answers HTCLOSE";
    } else {
        aim = GetDlgItem(dialog, std::atoi(target.c_str()));
        RECT r{};
        if (!aim || !GetWindowRect(aim, &r)) return "no control " + target;
        point = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    const std::string blocked = CheckLanding(dialog, aim, point);
    if (!blocked.empty()) return blocked;
    if (!SetCursorPos(point.x, point.y))
        return "could not move the pointer to " + std::to_string(point.x) + "," + std::to_string(point.y);
    // The move takes effect a moment later on Wine's desktop: wait for it.
    POINT at{};
    for (int wait = 0; !GetCursorPos(&at) || at.x != point.x || at.y != point.y; ++wait) {
        if (wait == 100)
            return "the pointer did not reach " + std::to_string(point.x) + "," + std::to_string(point.y) +
                   "; it is at " + std::to_string(at.x) + "," + std::to_string(at.y);
        Sleep(20);
    }
    Settle(dialog);
    if (!SendButton(MOUSEEVENTF_LEFTDOWN, point)) return "SendInput refused the click";
    Settle(dialog);
    SendButton(MOUSEEVENTF_LEFTUP, point);
    Settle(dialog);
    return "";
}

// What Windows' edit control does on Ctrl+Backspace, for Wine's, which
// ignores the chord: the keys go down for real, and once the dialog's thread
// has taken them in (its key state, shared while attached to its input,
// says so), a DEL character replaces the field's selection.
std::string CtrlBackspaceAsWindows(HWND dialog) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // AttachThreadInput needs our queue
    const DWORD self = GetCurrentThreadId(), owner = GetWindowThreadProcessId(dialog, nullptr);
    if (!AttachThreadInput(self, owner, TRUE)) return "could not attach to the dialog's input";
    SendKey(VK_CONTROL, false);
    SendKey(VK_BACK, false);
    bool held = false;
    for (int wait = 0; wait < 100 && !held; ++wait) {
        Sleep(20);
        held = GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_BACK) < 0;
    }
    if (held)
        SendMessageW(GetDlgItem(dialog, kEditId), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"\x7f"));
    SendKey(VK_BACK, true);
    SendKey(VK_CONTROL, true);
    AttachThreadInput(self, owner, FALSE);
    Settle(dialog);
    return held ? "" : "the dialog's thread never had Ctrl and Backspace held";
}

int ControlWithFocus(HWND dialog) {
    HWND focus = IsWindow(dialog) ? FocusOf(dialog) : nullptr;
    return focus ? GetDlgCtrlID(focus) : 0;
}

std::string Act(HWND dialog, const std::string& action) {
    const std::size_t colon = action.find(':');
    if (colon == std::string::npos) return "bad action " + action;
    const std::string kind = action.substr(0, colon), value = action.substr(colon + 1);
    if (kind == "key") return PressKeys(dialog, value);
    if (kind == "text") return TypeText(dialog, value);
    if (kind == "click") return Click(dialog, value);
    if (kind == "ctrl-backspace-as-windows") return CtrlBackspaceAsWindows(dialog);
    return "bad action " + action;
}

} // namespace

int Input(const char* outPath, int expectedFocus, int count, char** actions) {
    FILE* out = std::fopen(outPath, "wb");
    if (!out) return kFileError;
    std::string error;
    HWND dialog = WaitForDialog(kDefaultLimitMs);
    if (!dialog) error = "the dialog is not open and ready";
    if (error.empty() && !TakeForeground(dialog))
        error = "could not make the dialog the foreground window; it is " + Describe(GetForegroundWindow());
    if (error.empty()) LiftForegroundLock("with the dialog in the foreground");
    std::printf("foreground lock: %s\n", gLock.said.c_str());
    if (gLock.was) std::fprintf(out, "foreground-lock-was %lu\n", static_cast<unsigned long>(gLock.was));
    // Activation restores the focus a moment later than the foreground.
    for (int wait = 0; error.empty() && expectedFocus && ControlWithFocus(dialog) != expectedFocus; ++wait) {
        if (wait == 100)
            error = "the focus is on control " + std::to_string(ControlWithFocus(dialog)) + ", not " +
                    std::to_string(expectedFocus);
        Sleep(20);
    }
    for (int i = 0; error.empty() && i < count; ++i) {
        if (GetForegroundWindow() != dialog) {
            error = std::string("the dialog lost the foreground to ") + Describe(GetForegroundWindow()) +
                    " before " + actions[i];
            break;
        }
        error = Act(dialog, actions[i]);
        if (error.empty()) std::fprintf(out, "focus %d\n", ControlWithFocus(dialog));
    }
    if (!error.empty()) std::fprintf(out, "error %s\n", error.c_str());
    return Finish(out, error.empty() ? kDone : kRefused);
}

int ForegroundLock(DWORD timeout) {
    return SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                                 reinterpret_cast<void*>(std::uintptr_t{timeout}), 0)
               ? kDone
               : kRefused;
}
