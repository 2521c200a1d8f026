#pragma once
#include <string>

namespace HELPERS {

// Replaces the file at `path` with `text`: the text goes to a new file in the same folder,
// which is flushed to disk and then renamed over `path`. A reader therefore sees either the
// old file or the new one, never a part of either, and a crash or a full disk leaves the
// old file as it was. Returns false, with nothing changed on disk, if any step fails.
//
// A symbolic link at `path` is followed: its target is replaced and the link stays. An
// existing file keeps its mode and owner; one that is not a regular file, or that may not
// be written (see MayWriteFile), is left alone and false is returned.
bool ReplaceFileAtomically(const std::string& path, const std::string& text);

// Whether the user may write the existing file at `path` (links followed): write access
// as access(2) sees it and, because root passes that test for every file, at least one
// write bit in the file's mode. A file without any write bit is one that was made
// read-only on purpose.
bool MayWriteFile(const std::string& path);

} // namespace HELPERS
