#include "win/reason.h"

#include <commctrl.h>

namespace {

// The run's one balloon, made at the first refusal, so that a run without
// one pays nothing for it. Owned by the dialog, which takes it along when
// it is destroyed.
HWND g_balloon = nullptr;

// The balloon's one tool: tracked, so that it shows as long as we say;
// absolute, so that its window goes where we say on every system (each
// places a balloon beside its point in its own way); transparent, so that a
// click on it reaches the window beneath.
TOOLINFOW Tool(HWND dialog, wchar_t* text) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_TRANSPARENT;
    tool.hwnd = dialog;
    tool.lpszText = text;
    return tool;
}

// Makes the balloon at, with its title and the error icon; nullptr when the
// common controls cannot. A top-level window takes the scale of the monitor
// where it is made, so it is made where it will show. It neither fades nor
// slides, so that it is there at once and gone at once; it shows whichever
// window is active.
HWND CreateBalloon(HWND dialog, POINT at) {
    const DWORD style = WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_NOFADE | TTS_NOANIMATE | TTS_ALWAYSTIP;
    HWND balloon = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, style, at.x, at.y, 1, 1, dialog, nullptr,
                                   nullptr, nullptr);
    if (!balloon) return nullptr;
    wchar_t none[] = L"";
    TOOLINFOW tool = Tool(dialog, none);
    if (!SendMessageW(balloon, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) {
        DestroyWindow(balloon);
        return nullptr;
    }
    SendMessageW(balloon, TTM_SETTITLEW, TTI_ERROR, reinterpret_cast<LPARAM>(L"Nothing was renamed"));
    return balloon;
}

// The field's font, and its width as the limit at which a long reason
// wraps, as they are now.
void FitToField(HWND field) {
    SendMessageW(g_balloon, WM_SETFONT, static_cast<WPARAM>(SendMessageW(field, WM_GETFONT, 0, 0)), FALSE);
    RECT r{};
    GetWindowRect(field, &r);
    SendMessageW(g_balloon, TTM_SETMAXTIPWIDTH, 0, r.right - r.left);
}

// The balloon window's top left corner: a quarter of the field's height
// above its lower edge, one height in from its right end, so that the
// balloon hangs below it to the right of Cancel, over neither the typed
// name nor a button. The stem starts there.
POINT BalloonCorner(HWND field) {
    RECT r{};
    GetWindowRect(field, &r);
    const LONG height = r.bottom - r.top;
    return {r.right - height, r.bottom - height / 4};
}

} // namespace

void ReasonText(DWORD error, wchar_t* text, DWORD size) {
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                  0, text, size, nullptr);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' '))
        --length;
    text[length] = L'\0';
    // Windows shows no tooltip without text: say at least which error it was.
    if (length == 0) wsprintfW(text, L"Error %lu", error);
}

void ShowReason(HWND dialog, HWND field, DWORD error) {
    const POINT at = BalloonCorner(field);
    if (!g_balloon) g_balloon = CreateBalloon(dialog, at);
    if (!g_balloon) return;
    wchar_t reason[512];
    ReasonText(error, reason, sizeof reason / sizeof reason[0]);
    // Hidden first, so that a new reason is measured anew.
    HideReason();
    FitToField(field);
    TOOLINFOW tool = Tool(dialog, reason);
    SendMessageW(g_balloon, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(g_balloon, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    SendMessageW(g_balloon, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void HideReason() {
    if (!g_balloon) return;
    TOOLINFOW tool = Tool(GetWindow(g_balloon, GW_OWNER), nullptr);
    SendMessageW(g_balloon, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

void DestroyReason() {
    if (!g_balloon) return;
    DestroyWindow(g_balloon);
    g_balloon = nullptr;
}
