#include "core/arguments.h"

#include <array>

#include "util/platform.h"

namespace {

bool IsSeparator(unsigned char byte) { return byte >= 1 && byte <= 32; }

// Bytes 0x80..0xFF are ordinary argument bytes, hence the unsigned compare.
bool IsArgumentByte(unsigned char byte) { return byte > 32; }

// Collects bytes while there is room and drops them once the buffer is full,
// so a token that is too long still ends where its syntax says it does.
struct Collector {
    std::array<char, kMaxArgumentBytes> bytes;
    std::size_t length = 0;
    void Add(char byte) {
        if (length < bytes.size()) bytes[length++] = byte;
    }
};

const char* SkipSeparators(const char* p) {
    for (;;) {
        while (IsSeparator(static_cast<unsigned char>(*p)))
            ++p;
        if (p[0] == '"' && p[1] == '"') {
            p += 2;
            continue;
        }
        return p;
    }
}

} // namespace

// An over-long token is cut to its first kMaxArgumentBytes bytes and the rest
// of it is consumed and dropped: its tail must not come back as further
// arguments.
ArgumentToken NextArgument(const char* position) {
    const char* p = SkipSeparators(position);
    Collector buffer;
    while (IsArgumentByte(static_cast<unsigned char>(*p))) {
        if (*p != '"') {
            buffer.Add(*p++);
            continue;
        }
        ++p;
        while (*p != '"' && *p != '\0')
            buffer.Add(*p++);
        if (*p == '"') ++p;
    }
    return {std::string(buffer.bytes.data(), buffer.length), p};
}

int ArgumentCount() {
    const char* p = NextArgument(PlatformCommandLine()).next;
    int count = 0;
    for (;;) {
        ArgumentToken token = NextArgument(p);
        if (token.argument.empty()) return count;
        ++count;
        p = token.next;
    }
}

std::string Argument(int n) {
    const char* p = PlatformCommandLine();
    for (;;) {
        ArgumentToken token = NextArgument(p);
        if (n == 0 || token.argument.empty()) return token.argument;
        --n;
        p = token.next;
    }
}
