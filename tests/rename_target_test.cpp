#include "core/rename_target.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/arguments.h"
#include "tests/case_name.h"
#include "tests/fake_platform.h"

namespace {

using Moves = std::vector<std::pair<std::string, std::string>>;

struct RenameCase {
    const char* name;
    std::string line;
    std::string directory; // current directory; empty: cannot be read
    std::string typed;
    std::string prefix;
    std::string target;
    std::string prompt;
    Moves moves;
    unsigned long refusal = 0; // the system refuses the rename with this code
    RenameResult result = RenameResult::Renamed;
    unsigned long error = 0;
    std::string leadBytes = ""; // the code page's, as in 932
};

// "C:\", this name and one byte more make 4,097 bytes, one more than an
// argument keeps: the byte is cut.
const std::string kOverLongName(kMaxArgumentBytes - 3, 'a');

const RenameCase kCases[] = {
    {"full path",
     "prog C:\\dir\\a.txt",
     "C:\\work",
     "b.txt",
     "C:\\dir\\",
     "a.txt",
     "Rename \"a.txt\" to:",
     {{"C:\\dir\\a.txt", "C:\\dir\\b.txt"}}},
    {"the prompt's words",
     "prog \"C:\\My Files\\report.txt\"",
     "",
     "x",
     "C:\\My Files\\",
     "report.txt",
     "Rename \"report.txt\" to:",
     {{"C:\\My Files\\report.txt", "C:\\My Files\\x"}}},
    {"relative name uses the current directory",
     "prog a.txt",
     "C:\\work",
     "b.txt",
     "C:\\work\\",
     "a.txt",
     "Rename \"a.txt\" to:",
     {{"C:\\work\\a.txt", "C:\\work\\b.txt"}}},
    {"current directory at a root",
     "prog a.txt",
     "C:\\",
     "b.txt",
     "C:\\",
     "a.txt",
     "Rename \"a.txt\" to:",
     {{"C:\\a.txt", "C:\\b.txt"}}},
    {"drive-relative name",
     "prog C:a.txt",
     "D:\\other",
     "b.txt",
     "C:",
     "a.txt",
     "Rename \"a.txt\" to:",
     {{"C:a.txt", "C:b.txt"}}},
    {"path ending in a backslash",
     "prog C:\\dir\\",
     "C:\\work",
     "x",
     "C:\\dir\\",
     "",
     "Rename \"\" to:",
     {{"C:\\dir\\", "C:\\dir\\x"}}},
    {"unchanged name still renames",
     "prog C:\\dir\\a.txt",
     "",
     "a.txt",
     "C:\\dir\\",
     "a.txt",
     "Rename \"a.txt\" to:",
     {{"C:\\dir\\a.txt", "C:\\dir\\a.txt"}},
     0,
     RenameResult::NothingToDo},
    {"unchanged name the system refuses closes all the same",
     "prog C:\\dir\\a.txt",
     "",
     "a.txt",
     "C:\\dir\\",
     "a.txt",
     "Rename \"a.txt\" to:",
     {{"C:\\dir\\a.txt", "C:\\dir\\a.txt"}},
     5,
     RenameResult::NothingToDo},
    {"refused: the new name exists",
     "prog C:\\dir\\a.txt",
     "",
     "b.txt",
     "C:\\dir\\",
     "a.txt",
     "Rename \"a.txt\" to:",
     {{"C:\\dir\\a.txt", "C:\\dir\\b.txt"}},
     183,
     RenameResult::Refused,
     183},
    {"refused: an invalid name",
     "prog C:\\dir\\a.txt",
     "",
     "a?.txt",
     "C:\\dir\\",
     "a.txt",
     "Rename \"a.txt\" to:",
     {{"C:\\dir\\a.txt", "C:\\dir\\a?.txt"}},
     123,
     RenameResult::Refused,
     123},
    {"typed subdirectory",
     "prog C:\\dir\\a.txt",
     "",
     "sub\\b.txt",
     "C:\\dir\\",
     "a.txt",
     "Rename \"a.txt\" to:",
     {{"C:\\dir\\a.txt", "C:\\dir\\sub\\b.txt"}}},
    {"typed blanks are kept",
     "prog C:\\dir\\a.txt",
     "",
     " b.txt ",
     "C:\\dir\\",
     "a.txt",
     "Rename \"a.txt\" to:",
     {{"C:\\dir\\a.txt", "C:\\dir\\ b.txt "}}},
    {"typed wildcards and colons pass",
     "prog C:\\dir\\a.txt",
     "",
     "*?:<>|",
     "C:\\dir\\",
     "a.txt",
     "Rename \"a.txt\" to:",
     {{"C:\\dir\\a.txt", "C:\\dir\\*?:<>|"}}},
    {"empty text renames nothing",
     "prog C:\\dir\\a.txt",
     "",
     "",
     "C:\\dir\\",
     "a.txt",
     "Rename \"a.txt\" to:",
     {},
     5,
     RenameResult::NothingToDo},
    {"unreadable current directory",
     "prog a.txt",
     "",
     "b.txt",
     "",
     "a.txt",
     "Rename \"a.txt\" to:",
     {{"a.txt", "b.txt"}}},
    {"no argument",
     "prog",
     "C:\\work",
     "b",
     "C:\\work\\",
     "",
     "Rename \"\" to:",
     {{"C:\\work\\", "C:\\work\\b"}}},
    {"only the first argument counts",
     "prog C:\\d\\a D:\\e\\f",
     "",
     "b",
     "C:\\d\\",
     "a",
     "Rename \"a\" to:",
     {{"C:\\d\\a", "C:\\d\\b"}}},
    {"current directory ending in a double-byte character",
     "prog a.txt",
     "C:\\\x97\\\x92\xe8\x95\\",
     "b.txt",
     "C:\\\x97\\\x92\xe8\x95\\\\",
     "a.txt",
     "Rename \"a.txt\" to:",
     {{"C:\\\x97\\\x92\xe8\x95\\\\a.txt", "C:\\\x97\\\x92\xe8\x95\\\\b.txt"}},
     0,
     RenameResult::Renamed,
     0,
     "\x92\x95\x97"},
    {"cut argument refused",
     "prog C:\\" + kOverLongName + "b",
     "",
     "c.txt",
     "C:\\",
     kOverLongName,
     "Rename \"" + kOverLongName + "\" to:",
     {},
     0,
     RenameResult::Refused,
     kArgumentCutError},
    {"upper-half bytes",
     "prog C:\\d\\\xe9t\xe9",
     "",
     "\xe0",
     "C:\\d\\",
     "\xe9t\xe9",
     "Rename \"\xe9t\xe9\" to:",
     {{"C:\\d\\\xe9t\xe9", "C:\\d\\\xe0"}}},
};

// A failing case's log names the case and its inputs instead of dumping its bytes.
void PrintTo(const RenameCase& c, std::ostream* os) {
    *os << c.name << ", line " << ::testing::PrintToString(c.line) << ", current directory "
        << ::testing::PrintToString(c.directory) << ", typed " << ::testing::PrintToString(c.typed);
}

class RenameTargetTest : public ::testing::TestWithParam<RenameCase> {
  protected:
    void SetUp() override {
        ResetFakePlatform();
        ReleaseRenameTarget();
    }
};

TEST_P(RenameTargetTest, PreparesAndCommits) {
    const RenameCase& c = GetParam();
    Fake().commandLine = c.line;
    Fake().directories = {c.directory};
    Fake().leadBytes = c.leadBytes;
    const RenamePrompt shown = PrepareRename();
    EXPECT_EQ(DirectoryPrefix(), c.prefix);
    EXPECT_EQ(TargetName(), c.target);
    EXPECT_EQ(shown.prompt, c.prompt);
    EXPECT_EQ(shown.initialText, c.target);
    EXPECT_EQ(shown.selectionEnd, c.target.size());
    EXPECT_TRUE(Fake().moves.empty()) << "preparing must not rename";
    Fake().refusal = c.refusal;
    const RenameOutcome outcome = CommitRename(c.typed);
    EXPECT_EQ(Fake().moves, c.moves);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.error, c.error);
}

INSTANTIATE_TEST_SUITE_P(Cases, RenameTargetTest, ::testing::ValuesIn(kCases), CaseName<RenameCase>);

TEST(RenameTargetStateTest, CurrentDirectoryIsReadOnlyWhenThePathHasNoDirectory) {
    ResetFakePlatform();
    Fake().commandLine = "prog C:\\dir\\a.txt";
    Fake().directories = {"C:\\work"};
    PrepareRename();
    EXPECT_EQ(Fake().directoryReads, 0);
}

TEST(RenameTargetStateTest, SelectionCoversEveryByteOfAMultiByteName) {
    ResetFakePlatform();
    const std::string name = "\xe6\x97\xa5\xe6\x9c\xac\xf0\x9f\x98\x80.txt"; // 3 characters + .txt
    Fake().commandLine = "prog \"C:\\d\\" + name + "\"";
    EXPECT_EQ(PrepareRename().selectionEnd, name.size());
}

TEST(RenameTargetStateTest, ARefusedNameCanBeFollowedByAnother) {
    ResetFakePlatform();
    Fake().commandLine = "prog C:\\dir\\a.txt";
    PrepareRename();
    Fake().refusal = 183;
    EXPECT_EQ(CommitRename("b.txt").result, RenameResult::Refused);
    Fake().refusal = 0;
    EXPECT_EQ(CommitRename("c.txt").result, RenameResult::Renamed);
    EXPECT_EQ(Fake().moves,
              (Moves{{"C:\\dir\\a.txt", "C:\\dir\\b.txt"}, {"C:\\dir\\a.txt", "C:\\dir\\c.txt"}}));
}

TEST(RenameTargetStateTest, ReleaseEmptiesTheState) {
    ResetFakePlatform();
    Fake().commandLine = "prog C:\\dir\\a.txt";
    PrepareRename();
    ReleaseRenameTarget();
    EXPECT_EQ(DirectoryPrefix(), "");
    EXPECT_EQ(TargetName(), "");
}

} // namespace
