#pragma once
#include <string>
#include <utility>
#include <vector>

// A stand-in for the operating system, linked into the unit tests in place
// of win/platform.cpp.
struct FakePlatform {
    std::string commandLine;
    // Successive reads of the current directory get these in turn, the last
    // one repeating; an empty entry makes the read fail.
    std::vector<std::string> directories;
    int directoryReads = 0;
    // The code page's lead bytes, each beginning a double-byte character;
    // none, as under UTF-8 or a single-byte code page.
    std::string leadBytes;
    std::vector<std::pair<std::string, std::string>> moves;
    // The error code with which every rename is refused; 0: each succeeds.
    unsigned long refusal = 0;
};

// The fake's state, fresh after ResetFakePlatform.
FakePlatform& Fake();
void ResetFakePlatform();
