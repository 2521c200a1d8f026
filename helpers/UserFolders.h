#pragma once
// The user's standard folders (XDG base directories and user directories).
#include <string>

namespace HELPERS {

// $HOME, else the password database entry.
std::string GetHomeFolder();
// $XDG_DATA_HOME if absolute, else ~/.local/share. No trailing separator.
std::string GetUserDataFolder();
// $XDG_CONFIG_HOME if absolute, else ~/.config. No trailing separator.
std::string GetUserConfigFolder();
// XDG_DOCUMENTS_DIR from user-dirs.dirs in the config folder, else ~/Documents.
std::string GetUserDocumentsFolder();
// $XDG_RUNTIME_DIR if absolute, else /tmp/quarrow-<uid> (created, mode 0700). Throws
// WException when the fallback folder is there but not safe to use (see EnsurePrivateFolder).
std::string GetRuntimeFolder();

// Creates the folder with mode 0700 if it is missing (its parent must exist). Accepts it only as a real folder
// (not a link) owned by this user and writable by nobody else; throws WException naming
// the folder otherwise. Returns `path`.
std::string EnsurePrivateFolder(const std::string& path);

// Creates the folder and its parents with mode 0700 for new levels; false on failure.
bool CreateFolderPath(const std::string& path);

} // namespace HELPERS
