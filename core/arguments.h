#pragma once
#include <cstddef>
#include <string>

// The longest argument the tokenizer keeps, in bytes.
constexpr std::size_t kMaxArgumentBytes = 4096;

struct ArgumentToken {
    std::string argument; // empty when the list has ended
    const char* next;     // first byte not consumed
};

// Reads one token of the tool's command-line syntax starting at or after
// position, a pointer into a NUL-terminated string that is never written.
ArgumentToken NextArgument(const char* position);

// Number of arguments after the program's own name.
int ArgumentCount();

// The n-th argument after the program's name (n >= 1), or empty.
std::string Argument(int n);
