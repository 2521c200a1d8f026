#pragma once
#include <string>

// Replaces the file at `path` with `text`: the text goes to a new file in the same folder,
// which is flushed to disk and then renamed over `path`. A reader therefore sees either the
// old file or the new one, never a part of either, and a crash or a full disk leaves the
// old file as it was. Returns false, with nothing changed on disk, if any step fails.
bool ReplaceFileAtomically(const std::string& path, const std::string& text);
