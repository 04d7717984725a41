#include "core/arguments.h"

#include <array>
#include <type_traits>

#include "util/platform.h"

namespace {

// The same rules serve UTF-16 text, unit for unit, so that the two forms of
// one command line can be compared argument for argument.
template <class Char> auto Unit(Char c) { return static_cast<std::make_unsigned_t<Char>>(c); }

template <class Char> bool IsSeparator(Char c) { return Unit(c) >= 1 && Unit(c) <= 32; }

// Bytes 0x80..0xFF are ordinary argument bytes, hence the unsigned compare.
template <class Char> bool IsArgumentByte(Char c) { return Unit(c) > 32; }

// Collects bytes while there is room and drops them once the buffer is full,
// so a token that is too long still ends where its syntax says it does.
struct Collector {
    std::array<char, kMaxArgumentBytes> bytes;
    std::size_t length = 0;
    bool dropped = false;
    void Add(char byte) {
        if (length < bytes.size())
            bytes[length++] = byte;
        else
            dropped = true;
    }
};

template <class Char> const Char* SkipSeparators(const Char* p) {
    for (;;) {
        while (IsSeparator(*p))
            ++p;
        if (p[0] == '"' && p[1] == '"') {
            p += 2;
            continue;
        }
        return p;
    }
}

// Walks the token at p, whose separators are behind it, handing each of its
// characters to add; returns the first position after it.
template <class Char, class Add> const Char* WalkToken(const Char* p, Add add) {
    while (IsArgumentByte(*p)) {
        if (*p != '"') {
            add(*p++);
            continue;
        }
        ++p;
        while (*p != '"' && *p != 0)
            add(*p++);
        if (*p == '"') ++p;
    }
    return p;
}

template <class Char> ArgumentSpan<Char> SpanOfFirstArgument(const Char* commandLine) {
    const auto ignore = [](Char) {};
    const Char* begin = SkipSeparators(WalkToken(SkipSeparators(commandLine), ignore));
    return {begin, WalkToken(begin, ignore)};
}

} // namespace

// An over-long token is cut to its first kMaxArgumentBytes bytes and the rest
// of it is consumed and dropped: its tail must not come back as further
// arguments.
ArgumentToken NextArgument(const char* position) {
    Collector buffer;
    const char* p = WalkToken(SkipSeparators(position), [&buffer](char byte) { buffer.Add(byte); });
    return {std::string(buffer.bytes.data(), buffer.length), p, buffer.dropped};
}

ArgumentSpan<char> FirstArgumentSpan(const char* commandLine) { return SpanOfFirstArgument(commandLine); }

ArgumentSpan<wchar_t> FirstArgumentSpan(const wchar_t* commandLine) {
    return SpanOfFirstArgument(commandLine);
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

std::string Argument(int n) { return ArgumentTokenAt(n).argument; }

ArgumentToken ArgumentTokenAt(int n) {
    const char* p = PlatformCommandLine();
    for (;;) {
        ArgumentToken token = NextArgument(p);
        if (n == 0 || token.argument.empty()) return token;
        --n;
        p = token.next;
    }
}
