#include "util/path.h"

#include <vector>

#include "util/platform.h"

namespace {

// Length of the directory part: the position just past the last separator.
// Byte by byte on purpose: no trail byte of a UTF-8 character is a separator.
std::size_t DirectoryLength(const std::string& path) {
    std::size_t i = path.size();
    while (i > 0 && path[i - 1] != ':' && path[i - 1] != '\\')
        --i;
    return i;
}

constexpr unsigned long kFirstBufferBytes = 260;

// The directory may change between the calls; give up rather than loop if it
// keeps growing.
constexpr int kMaxReads = 4;

} // namespace

std::string DirectoryPart(const std::string& path) { return path.substr(0, DirectoryLength(path)); }

std::string FileNamePart(const std::string& path) { return path.substr(DirectoryLength(path)); }

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
