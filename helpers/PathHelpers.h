#pragma once
#include "helpers/WinDirectory.h"

#include <string>

namespace HELPERS {

// The native path separator, kept at the end of folder paths.
constexpr char kPathSeparator = '/';

// folder + separator + fileName. Throws WException if the folder is empty.
std::string GetFullFilePath(const std::string& fileName, const std::string& folder);

// fullPrependPath joined with relativeDir, always ending in a separator.
WinDirectory GetFullDirectoryPath(const std::string& relativeDir, const std::string& fullPrependPath);

// Whether anything exists under the joined path (exact test, no wildcards; a dangling
// symbolic link counts as existing, since a new file could not take its name).
bool FileExists(const std::string& fileName, const std::string& folder);

// "a.tar.gz" -> "a.tar" and ".gz"; no extension for ".profile", "name." or "README".
void SplitFileName(const std::string& fileName, std::string& baseName, std::string& extension);

// The extension with its dot, or empty.
std::string GetFileExtension(const std::string& fileName);

// Finds a free name in the folder: fileName, base(0)ext, ..., base(98)ext.
// Returns false if none of them is free; fileName then holds base(99)ext.
bool MakeUniqueFileName(std::string& fileName, const std::string& folder);

} // namespace HELPERS
