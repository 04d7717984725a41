// The front end's text routines, against the system's own conversions and
// messages (Windows and Wine).
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "win/code_page.h"
#include "win/reason.h"

namespace {

TEST(IsExactAnsiTest, RefusesLookAlikesInCodePage1252) {
    if (GetACP() != 1252) GTEST_SKIP() << "the cases are code page 1252's; this process has " << GetACP();
    struct Case {
        const char* name;
        std::wstring wide;
        std::string ansi;
        bool exact;
    } cases[] = {
        {"plain", L"report.txt", "report.txt", true},
        {"accented letters", L"r\u00e9sum\u00e9.txt", "r\xe9sum\xe9.txt", true},
        {"empty", L"", "", true},
        {"full-width letters", L"\uff52\uff45\uff50\uff4f\uff52\uff54.txt", "report.txt", false},
        {"full-width quotation mark", L"a\uff02 b.txt", "a\" b.txt", false},
        {"character without a look-alike", L"\u65e5.txt", "?.txt", false},
        {"unpaired surrogate", L"a\xd800.txt", "a?.txt", false},
        {"another name", L"report.txt", "report.txz", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsExactAnsi(c.wide.data(), c.wide.size(), c.ansi), c.exact);
    }
}

TEST(ReasonTextTest, SaysTheSystemsTextOrTheErrorsNumber) {
    wchar_t text[512];
    ReasonText(ERROR_ALREADY_EXISTS, text, 512);
    EXPECT_GT(std::wcslen(text), 10u);
    EXPECT_NE(text[std::wcslen(text) - 1], L'\n');
    EXPECT_NE(std::wstring(text).find(L"xist"), std::wstring::npos) << "the system's text for 183";
    // The customer bit: no system text exists for it.
    ReasonText(0x20000001, text, 512);
    EXPECT_STREQ(text, L"Error 536870913");
    // The system's text does not fit.
    ReasonText(ERROR_ALREADY_EXISTS, text, 17);
    EXPECT_STREQ(text, L"Error 183");
}

} // namespace
