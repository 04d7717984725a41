#include "util/path.h"
#include "util/word.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fake_platform.h"

namespace {

TEST(PathTest, SplitsAtTheLastColonOrBackslash) {
    struct Case {
        std::string path;
        std::string directory;
        std::string name;
        std::string leadBytes = ""; // the code page's, as in 932
    } cases[] = {
        {"C:\\dir\\a.txt", "C:\\dir\\", "a.txt"},
        {"a.txt", "", "a.txt"},
        {"C:a.txt", "C:", "a.txt"},
        {"C:/dir/a.txt", "C:", "/dir/a.txt"},
        {"C:\\dir\\", "C:\\dir\\", ""},
        {"", "", ""},
        {"C:\\dir\\a.txt:s", "C:\\dir\\a.txt:", "s"},
        {"\\\\server\\share\\f", "\\\\server\\share\\", "f"},
        {"\\", "\\", ""},
        {":", ":", ""},
        {"dir/a.txt", "", "dir/a.txt"},
        {"C:\\d\xe9j\xe0\\\xe9t\xe9.txt", "C:\\d\xe9j\xe0\\", "\xe9t\xe9.txt"},
        // UTF-8: no byte of a multi-byte character is a separator.
        {"C:\\\xe6\x97\xa5\xe6\x9c\xac\\\xf0\x9f\x98\x80.txt", "C:\\\xe6\x97\xa5\xe6\x9c\xac\\",
         "\xf0\x9f\x98\x80.txt"},
        // Code page 932: the second bytes of \u4e88 and \u8868 are a backslash's.
        {"C:\\\x97\\\x92\xe8\x95\\.xlsx", "C:\\", "\x97\\\x92\xe8\x95\\.xlsx", "\x92\x95\x97"},
        {"C:\\\x97\\\x92\xe8\x95\\\\a.txt", "C:\\\x97\\\x92\xe8\x95\\\\", "a.txt", "\x92\x95\x97"},
        {"\x95\\a.txt", "", "\x95\\a.txt", "\x92\x95\x97"},
        {"C:\\a\x95", "C:\\", "a\x95", "\x92\x95\x97"},
        {"C:\\\x95\\.xlsx", "C:\\\x95\\", ".xlsx"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ResetFakePlatform();
        Fake().leadBytes = c.leadBytes;
        EXPECT_EQ(DirectoryPart(c.path), c.directory);
        EXPECT_EQ(FileNamePart(c.path), c.name);
        EXPECT_EQ(DirectoryPart(c.path) + FileNamePart(c.path), c.path);
    }
}

TEST(PathTest, EndsInBackslashOnlyWhereACharacterIsOne) {
    struct Case {
        std::string path;
        bool ends;
    } cases[] = {
        {"C:\\", true},
        {"C:\\work", false},
        {"", false},
        {"C:\\\x97\\\x92\xe8\x95\\", false},
        {"C:\\\x97\\\x92\xe8\x95\\\\", true},
        {"\x95", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ResetFakePlatform();
        Fake().leadBytes = "\x92\x95\x97";
        EXPECT_EQ(EndsInBackslash(c.path), c.ends);
    }
}

TEST(WordStartTest, ErasesBlanksThenOneRunOfLettersOrOfMarks) {
    struct Case {
        std::wstring text;
        std::size_t end;
        std::size_t start;
    } cases[] = {
        {L"Annual report", 13, 7},
        {L"Annual report  ", 15, 7},
        {L"report.txt", 10, 7},
        {L"report.", 7, 6},
        {L"a..b--", 6, 4},
        {L"my_file2", 8, 0},
        {L"Annual report", 9, 7},
        {L"\u00dcberblick 2024", 14, 10},
        {L"\u65e5\u672c\u3000\u30e1\u30e2", 5, 3},
        {L"a\x7f"
         L"b",
         3, 2},
        {L"   ", 3, 0},
        {L"", 0, 0},
        {L"abc", 9, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text) + " from " + std::to_string(c.end));
        EXPECT_EQ(WordStart(c.text, c.end), c.start);
    }
}

TEST(CurrentDirectoryTest, ReadsTheWholeDirectory) {
    const std::string long300 = "C:\\" + std::string(297, 'd');
    const std::string long400 = "C:\\" + std::string(397, 'e');
    struct Case {
        const char* name;
        std::vector<std::string> reads; // what successive calls see
        std::string expected;
        int calls;
    } cases[] = {
        {"ordinary", {"C:\\work"}, "C:\\work", 1},
        {"drive root keeps its backslash", {"C:\\"}, "C:\\", 1},
        {"failure gives empty", {""}, "", 1},
        {"259 bytes fit the first buffer", {std::string(259, 'f')}, std::string(259, 'f'), 1},
        {"260 bytes need a second call", {std::string(260, 'g')}, std::string(260, 'g'), 2},
        {"long directory", {long300}, long300, 2},
        {"grows between the calls", {long300, long400}, long400, 3},
        {"fails on the second call", {long300, ""}, "", 2},
        {"keeps growing", {long300, long300 + "x", long300 + "xx", long300 + "xxx", long300 + "xxxx"}, "", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetFakePlatform();
        Fake().directories = c.reads;
        EXPECT_EQ(CurrentDirectory(), c.expected);
        EXPECT_EQ(Fake().directoryReads, c.calls);
    }
}

} // namespace
