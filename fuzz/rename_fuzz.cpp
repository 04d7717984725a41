// libFuzzer target: the path routines and prepare/commit over an arbitrary
// argument, current directory and typed text. The input holds the three,
// separated by NUL bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "core/arguments.h"
#include "core/rename_target.h"
#include "fuzz/fuzz_check.h"
#include "tests/fake_platform.h"
#include "util/path.h"

namespace {

// The next NUL-separated part of the input.
std::string Part(const char*& p, const char* end) {
    const char* start = p;
    while (p < end && *p != '\0')
        ++p;
    std::string part(start, p);
    if (p < end) ++p;
    return part;
}

bool EndsInSeparator(const std::string& s) { return !s.empty() && (s.back() == '\\' || s.back() == ':'); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* p = reinterpret_cast<const char*>(data);
    const char* const end = p + size;
    const std::string argumentText = Part(p, end);
    const std::string directory = Part(p, end);
    const std::string typed = Part(p, end);

    ResetFakePlatform();
    ReleaseRenameTarget();
    Fake().commandLine = "prog " + argumentText;
    Fake().directories = {directory};

    const std::string path = Argument(1);
    const std::string directoryPart = DirectoryPart(path);
    const std::string name = FileNamePart(path);
    FUZZ_CHECK(directoryPart + name == path);
    FUZZ_CHECK(directoryPart.empty() || EndsInSeparator(directoryPart));
    FUZZ_CHECK(name.find('\\') == std::string::npos && name.find(':') == std::string::npos);

    const RenamePrompt shown = PrepareRename();
    FUZZ_CHECK(TargetName() == name);
    FUZZ_CHECK(shown.prompt == "Rename \"" + name + "\" to:");
    FUZZ_CHECK(shown.initialText == name);
    FUZZ_CHECK(shown.selectionEnd == name.size());
    if (!directoryPart.empty())
        FUZZ_CHECK(DirectoryPrefix() == directoryPart);
    else if (directory.empty())
        FUZZ_CHECK(DirectoryPrefix().empty());
    else
        FUZZ_CHECK(DirectoryPrefix() == (directory.back() == '\\' ? directory : directory + "\\"));
    FUZZ_CHECK(Fake().moves.empty());

    // The typed text's length decides whether the system refuses, and with
    // which code.
    Fake().refusal = typed.size() % 3 == 0 ? 0 : 100 + typed.size();
    const RenameOutcome outcome = CommitRename(typed);
    if (typed.empty()) {
        FUZZ_CHECK(Fake().moves.empty());
        FUZZ_CHECK(outcome.result == RenameResult::NothingToDo);
    } else if (ArgumentTokenAt(1).cut) {
        FUZZ_CHECK(Fake().moves.empty());
        FUZZ_CHECK(outcome.result == RenameResult::Refused && outcome.error == kArgumentCutError);
    } else {
        FUZZ_CHECK(Fake().moves.size() == 1);
        FUZZ_CHECK(Fake().moves[0] == std::make_pair(DirectoryPrefix() + name, DirectoryPrefix() + typed));
        if (typed == name)
            FUZZ_CHECK(outcome.result == RenameResult::NothingToDo);
        else if (Fake().refusal)
            FUZZ_CHECK(outcome.result == RenameResult::Refused && outcome.error == Fake().refusal);
        else
            FUZZ_CHECK(outcome.result == RenameResult::Renamed);
    }
    return 0;
}
