#pragma once
#include <string>

// Directory part of path, up to and including its last colon or backslash;
// empty when it has neither. The forward slash is an ordinary byte.
std::string DirectoryPart(const std::string& path);

// What follows the directory part; DirectoryPart + FileNamePart == path.
std::string FileNamePart(const std::string& path);

// The process's current directory, without a separator added; empty when it
// cannot be read.
std::string CurrentDirectory();
