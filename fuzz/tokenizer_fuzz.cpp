// libFuzzer target: the tokenizer over arbitrary raw command lines.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/arguments.h"
#include "fuzz/fuzz_check.h"
#include "tests/fake_platform.h"

namespace {

// Asking for every argument by number is quadratic; this many show the
// agreement between the walk and the two questions.
constexpr int kArgumentsAsked = 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ResetFakePlatform();
    std::string line(reinterpret_cast<const char*>(data), size);
    line.resize(line.find('\0') == std::string::npos ? line.size() : line.find('\0'));
    Fake().commandLine = line;
    const char* const end = line.c_str() + line.size();

    // Walk the line token by token: the program's name, then the arguments
    // up to the first empty token.
    const auto checked = [end](const char* from) {
        const ArgumentToken token = NextArgument(from);
        FUZZ_CHECK(token.next >= from && token.next <= end);
        FUZZ_CHECK(token.argument.size() <= kMaxArgumentBytes);
        FUZZ_CHECK(token.argument.find('"') == std::string::npos);
        // An empty token arises only at the end of the line; others consume.
        FUZZ_CHECK(token.argument.empty() ? token.next == end : token.next > from);
        return token;
    };
    std::vector<std::string> arguments;
    for (ArgumentToken token = checked(checked(line.c_str()).next); !token.argument.empty();
         token = checked(token.next))
        arguments.push_back(token.argument);

    FUZZ_CHECK(ArgumentCount() == static_cast<int>(arguments.size()));
    const int asked = std::min(static_cast<int>(arguments.size()), kArgumentsAsked);
    for (int n = 1; n <= asked; ++n)
        FUZZ_CHECK(Argument(n) == arguments[static_cast<std::size_t>(n - 1)]);
    if (static_cast<int>(arguments.size()) < kArgumentsAsked)
        FUZZ_CHECK(Argument(static_cast<int>(arguments.size()) + 1).empty());
    return 0;
}
