#include "util/window_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// What the test window answers: its text, the length it claims, and whether
// it copies only whole UTF-8 characters, as Windows' conversion to a
// multi-byte code page does.
struct TextWindow {
    std::string text;
    LRESULT reportedLength;
    bool wholeCharactersOnly;
};

TextWindow g_window;

LRESULT CALLBACK TextWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETTEXTLENGTH) return g_window.reportedLength;
    if (message != WM_GETTEXT) return DefWindowProcA(window, message, wParam, lParam);
    if (wParam == 0) return 0;
    std::size_t n = std::min(g_window.text.size(), static_cast<std::size_t>(wParam) - 1);
    if (g_window.wholeCharactersOnly)
        while (n > 0 && n < g_window.text.size() && (g_window.text[n] & 0xC0) == 0x80)
            --n;
    char* buffer = reinterpret_cast<char*>(lParam);
    g_window.text.copy(buffer, n);
    buffer[n] = '\0';
    return static_cast<LRESULT>(n);
}

TEST(WindowTextTest, ReadsTheWholeTextWhateverTheLengthClaims) {
    const std::string euros = [] {
        std::string s;
        for (int i = 0; i < 1000; ++i)
            s += "\xe2\x82\xac";
        return s;
    }();
    const std::string report = "\xe5\xa3\xb2\xe4\xb8\x8a\xe5\xa0\xb1\xe5\x91\x8a\xe6\x9b\xb8"; // 5 characters
    struct Case {
        const char* name;
        TextWindow window;
    } cases[] = {
        {"exact length", {"Quarterly report.txt", 20, false}},
        {"empty", {"", 0, false}},
        {"two bytes counted per three-byte character", {report, 10, false}},
        {"cut at the last whole character", {"\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac", 8, true}},
        {"length of nothing for a name", {"a.txt", 0, false}},
        {"long name at two thirds", {euros, 2000, true}},
    };

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TextWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PlintorTextWindow";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_window = c.window;
        ASSERT_EQ(GetWindowTextLengthA(window), c.window.reportedLength); // the window really under-reports
        EXPECT_EQ(WindowText(window), c.window.text);
    }
    DestroyWindow(window);
}

} // namespace
