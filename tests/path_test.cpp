#include "util/path.h"

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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(DirectoryPart(c.path), c.directory);
        EXPECT_EQ(FileNamePart(c.path), c.name);
        EXPECT_EQ(DirectoryPart(c.path) + FileNamePart(c.path), c.path);
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
