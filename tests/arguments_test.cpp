#include "core/arguments.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/case_name.h"
#include "tests/fake_platform.h"

namespace {

struct LineCase {
    const char* name;
    std::string line;
    int count;
    std::string first;
    std::string second;
};

const LineCase kLines[] = {
    {"name only", "prog", 0, "", ""},
    {"name and trailing blanks", "prog   ", 0, "", ""},
    {"empty line", "", 0, "", ""},
    {"quoted name and quoted path with blanks",
     "\"C:\\Program Files\\Tools\\pr.exe\" \"C:\\My Files\\a b.txt\"", 1, "C:\\My Files\\a b.txt", ""},
    {"unquoted path kept byte for byte", "prog C:\\dir\\sub\\a.txt", 1, "C:\\dir\\sub\\a.txt", ""},
    {"tabs separate", "prog\tC:\\a.txt\tb", 2, "C:\\a.txt", "b"},
    {"control bytes separate",
     "prog\x01"
     "a\x1f"
     "b",
     2, "a", "b"},
    {"empty quoted argument skipped", "prog \"\" C:\\a.txt", 1, "C:\\a.txt", ""},
    {"only empty quoted arguments", "prog \"\" \"\"", 0, "", ""},
    {"pairs repeat at token start", "prog \"\"\"\"C:\\a.txt", 1, "C:\\a.txt", ""},
    {"pair then quoted run", "prog \"\"\"C:\\a b\"", 1, "C:\\a b", ""},
    {"empty pair between arguments", "prog a \"\" b", 2, "a", "b"},
    {"empty pair at the end", "prog a \"\"", 1, "a", ""},
    {"lone quote as last byte", "prog C:\\a.txt \"", 1, "C:\\a.txt", ""},
    {"quote and blank at the end", "prog C:\\a.txt \" ", 2, "C:\\a.txt", " "},
    {"quoted single blank", "prog \" \"", 1, " ", ""},
    {"upper half bytes are ordinary", "prog C:\\caf\xe9\xa0\xff.txt", 1, "C:\\caf\xe9\xa0\xff.txt", ""},
    {"unclosed quoted run takes the rest", "prog \"C:\\My Files\\a.txt  x", 1, "C:\\My Files\\a.txt  x", ""},
    {"three arguments", "prog a b c", 3, "a", "b"},
    {"quoted run inside a token", "prog C:\\\"My Files\"\\a.txt", 1, "C:\\My Files\\a.txt", ""},
    {"quotes dropped mid token", "prog a\"b\"c", 1, "abc", ""},
    {"adjacent quoted runs join", "prog \"a\"\"b\"", 1, "ab", ""},
    {"backslash does not escape a quote", "prog \"C:\\dir\\\" x", 2, "C:\\dir\\", "x"},
    {"backslashes before a quote stay", "prog a\\\\\"b c\"", 1, "a\\\\b c", ""},
    {"quoted name runs into the next word", "\"C:\\p q\\x.exe\"arg", 0, "", ""},
    {"name with blanks unquoted splits", "C:\\p q\\x.exe", 1, "q\\x.exe", ""},
    {"leading blanks before the name", "   prog a", 1, "a", ""},
};

// A failing case's log names the case and its line instead of dumping its bytes.
void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name << ", line " << ::testing::PrintToString(c.line);
}

class ArgumentsTest : public ::testing::TestWithParam<LineCase> {
  protected:
    void SetUp() override { ResetFakePlatform(); }
};

TEST_P(ArgumentsTest, CountAndArguments) {
    const LineCase& c = GetParam();
    Fake().commandLine = c.line;
    EXPECT_EQ(ArgumentCount(), c.count);
    EXPECT_EQ(Argument(1), c.first);
    EXPECT_EQ(Argument(2), c.second);
    // Both questions use the same stop rule.
    EXPECT_EQ(!Argument(1).empty(), ArgumentCount() >= 1);
    // The first argument's span holds its token, at the same places in the
    // line's UTF-16 form (here each byte widened).
    const ArgumentSpan<char> span = FirstArgumentSpan(c.line.c_str());
    EXPECT_EQ(NextArgument(span.begin).argument, c.first);
    EXPECT_EQ(NextArgument(span.begin).next, span.end);
    std::wstring wide;
    for (unsigned char byte : c.line)
        wide += static_cast<wchar_t>(byte);
    const ArgumentSpan<wchar_t> wideSpan = FirstArgumentSpan(wide.c_str());
    EXPECT_EQ(wideSpan.begin - wide.c_str(), span.begin - c.line.c_str());
    EXPECT_EQ(wideSpan.end - wide.c_str(), span.end - c.line.c_str());
}

INSTANTIATE_TEST_SUITE_P(Lines, ArgumentsTest, ::testing::ValuesIn(kLines), CaseName<LineCase>);

TEST(NextArgumentTest, ReturnsTheFirstUnconsumedPosition) {
    struct Case {
        const char* text;
        const char* argument;
        std::size_t consumed;
    } cases[] = {
        {"  ab cd", "ab", 4}, {"\"a b\"c d", "a bc", 6},
        {"\"\"  x", "x", 5},  {"\"abc", "abc", 4},
        {"   ", "", 3},       {"\"", "", 1},
        {"\"\"", "", 2},      {"a\tb", "a", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ArgumentToken token = NextArgument(c.text);
        EXPECT_EQ(token.argument, c.argument);
        EXPECT_EQ(static_cast<std::size_t>(token.next - c.text), c.consumed);
    }
}

TEST(NextArgumentTest, ArgumentZeroIsTheProgramName) {
    ResetFakePlatform();
    Fake().commandLine = "\"C:\\Program Files\\pr.exe\" a";
    EXPECT_EQ(Argument(0), "C:\\Program Files\\pr.exe");
    EXPECT_EQ(Argument(5), "");
}

// A token longer than the limit keeps its first bytes; its tail is consumed
// with it rather than turning into more arguments.
TEST(NextArgumentTest, OverLongTokensAreCutAndEndWhereTheirSyntaxEnds) {
    struct Case {
        const char* name;
        std::string token;
        std::string kept;
        bool cut;
    };
    const std::string limit(kMaxArgumentBytes, 'a');
    const std::string quoted = "\"" + std::string(3000, 'x') + " " + std::string(3000, 'y') + "\"";
    const Case cases[] = {
        {"exactly the limit", limit, limit, false},
        {"exactly the limit, quoted", "\"" + limit + "\"", limit, false},
        {"one byte over", limit + "b", limit, true},
        {"far over", std::string(40000, 'c'), std::string(kMaxArgumentBytes, 'c'), true},
        {"over inside a quoted run", quoted,
         std::string(3000, 'x') + " " + std::string(kMaxArgumentBytes - 3001, 'y'), true},
        {"quoted runs after the limit", limit + "\"p q\"r", limit, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetFakePlatform();
        Fake().commandLine = "prog " + c.token + " next";
        EXPECT_EQ(ArgumentCount(), 2);
        EXPECT_EQ(Argument(1), c.kept);
        EXPECT_EQ(ArgumentTokenAt(1).cut, c.cut);
        EXPECT_EQ(Argument(2), "next");
    }
}

TEST(NextArgumentTest, CommandLineIsFetchedForEveryQuestion) {
    ResetFakePlatform();
    Fake().commandLine = "prog a";
    EXPECT_EQ(ArgumentCount(), 1);
    Fake().commandLine = "prog a b";
    EXPECT_EQ(ArgumentCount(), 2);
    Fake().commandLine = "prog z";
    EXPECT_EQ(Argument(1), "z");
}

} // namespace
