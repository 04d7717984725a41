#pragma once
#include <cstddef>
#include <string>

// The longest argument the tokenizer keeps, in bytes.
constexpr std::size_t kMaxArgumentBytes = 4096;

struct ArgumentToken {
    std::string argument; // empty when the list has ended
    const char* next;     // first byte not consumed
    bool cut;             // longer than kMaxArgumentBytes: its tail was dropped
};

// Reads one token of the tool's command-line syntax starting at or after
// position, a pointer into a NUL-terminated string that is never written.
ArgumentToken NextArgument(const char* position);

// Where a token lies in a command line: from its first character, quotes
// included, to the first one after it.
template <class Char> struct ArgumentSpan {
    const Char* begin;
    const Char* end;
};

// The first argument's token in a command line, by NextArgument's rules, in
// its ANSI form or, unit for unit, its UTF-16 form: the front end compares
// the two to catch a name that the code page turned into a look-alike.
ArgumentSpan<char> FirstArgumentSpan(const char* commandLine);
ArgumentSpan<wchar_t> FirstArgumentSpan(const wchar_t* commandLine);

// Number of arguments after the program's own name.
int ArgumentCount();

// The n-th argument after the program's name (n >= 1), or empty.
std::string Argument(int n);

// The n-th argument's token, which also says whether it was cut.
ArgumentToken ArgumentTokenAt(int n);
