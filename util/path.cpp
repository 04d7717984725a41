#include "util/path.h"

#include <vector>

#include "util/platform.h"

namespace {

// Calls visit with the position of each character's first byte, from the
// start: only from there can a lead byte be told from a trail byte. A lead
// byte at the very end stands alone.
template <class Visit> void ForEachCharacter(const std::string& path, Visit visit) {
    for (std::size_t i = 0; i < path.size(); ++i) {
        visit(i);
        if (PlatformIsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) ++i;
    }
}

// Length of the directory part: the position just past the last separator.
std::size_t DirectoryLength(const std::string& path) {
    std::size_t length = 0;
    ForEachCharacter(path, [&](std::size_t i) {
        if (path[i] == ':' || path[i] == '\\') length = i + 1;
    });
    return length;
}

constexpr unsigned long kFirstBufferBytes = 260;

// The directory may change between the calls; give up rather than loop if it
// keeps growing.
constexpr int kMaxReads = 4;

} // namespace

std::string DirectoryPart(const std::string& path) { return path.substr(0, DirectoryLength(path)); }

std::string FileNamePart(const std::string& path) { return path.substr(DirectoryLength(path)); }

bool EndsInBackslash(const std::string& path) {
    std::size_t last = path.size();
    ForEachCharacter(path, [&](std::size_t i) { last = i; });
    return last + 1 == path.size() && path[last] == '\\';
}

// A directory longer than the first buffer is read again with a buffer of
// the size the platform reports; the result is only trusted when it fits.
std::string CurrentDirectory() {
    std::vector<char> buffer(kFirstBufferBytes);
    for (int read = 0; read < kMaxReads; ++read) {
        unsigned long size = static_cast<unsigned long>(buffer.size());
        unsigned long length = PlatformCurrentDirectory(size, buffer.data());
        if (length == 0) return std::string();
        if (length < size) return std::string(buffer.data(), length);
        buffer.assign(length, '\0');
    }
    return std::string();
}
