#pragma once
#include <cstddef>
#include <string>

namespace HELPERS {

// Far above any real options, settings or store file, and small enough to read at once.
constexpr std::size_t kMaxFileTextBytes = std::size_t(16) << 20;

enum class FileTextResult {
    Read,     // `text` holds the whole file
    Missing,  // no such file
    Unusable, // there is something, but not a regular file of at most maxBytes to read
};

// Reads the whole file at `path` (links followed) into `text`. Only a regular file is
// read: a FIFO or a device would block or never end. Never blocks on opening.
FileTextResult ReadFileText(const std::string& path, std::string& text, std::size_t maxBytes = kMaxFileTextBytes);

} // namespace HELPERS
