#include "tests/fake_platform.h"

#include <cstring>

#include "util/platform.h"

FakePlatform& Fake() {
    static FakePlatform fake;
    return fake;
}

void ResetFakePlatform() { Fake() = FakePlatform(); }

const char* PlatformCommandLine() { return Fake().commandLine.c_str(); }

// Keeps the documented contract of GetCurrentDirectoryA, including leaving
// the buffer alone when it is too small.
unsigned long PlatformCurrentDirectory(unsigned long size, char* buffer) {
    FakePlatform& fake = Fake();
    if (fake.directories.empty()) return 0;
    std::size_t index = static_cast<std::size_t>(fake.directoryReads++);
    if (index >= fake.directories.size()) index = fake.directories.size() - 1;
    const std::string& directory = fake.directories[index];
    if (directory.empty()) return 0;
    if (directory.size() + 1 > size) return static_cast<unsigned long>(directory.size() + 1);
    std::memcpy(buffer, directory.c_str(), directory.size() + 1);
    return static_cast<unsigned long>(directory.size());
}

bool PlatformIsLeadByte(unsigned char value) {
    return Fake().leadBytes.find(static_cast<char>(value)) != std::string::npos;
}

MoveResult PlatformMoveFile(const char* existing, const char* replacement) {
    Fake().moves.emplace_back(existing, replacement);
    return {Fake().refusal == 0, Fake().refusal};
}
