#pragma once
#include <string>

// Directory part of path, up to and including its last colon or backslash;
// empty when it has neither. The forward slash is an ordinary byte, and so
// is the second byte of a double-byte character, whatever its value.
std::string DirectoryPart(const std::string& path);

// What follows the directory part; DirectoryPart + FileNamePart == path.
std::string FileNamePart(const std::string& path);

// Whether path's last character is a backslash (not a double-byte
// character's second byte).
bool EndsInBackslash(const std::string& path);

// The process's current directory, without a separator added; empty when it
// cannot be read.
std::string CurrentDirectory();
