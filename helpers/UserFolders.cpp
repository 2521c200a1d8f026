#include "helpers/UserFolders.h"

#include "helpers/FileText.h"
#include "helpers/WException.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace HELPERS {

namespace {

std::string AbsoluteEnv(const char* name)
{
    const char* v = std::getenv(name);
    if (v && v[0] == '/')
        return v;
    return std::string();
}

std::string StripTrailingSeparators(std::string p)
{
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

} // namespace

std::string GetHomeFolder()
{
    std::string home = AbsoluteEnv("HOME");
    if (!home.empty())
        return StripTrailingSeparators(home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return StripTrailingSeparators(pw->pw_dir);
    return "/";
}

std::string GetUserDataFolder()
{
    std::string v = AbsoluteEnv("XDG_DATA_HOME");
    return v.empty() ? GetHomeFolder() + "/.local/share" : StripTrailingSeparators(v);
}

std::string GetUserConfigFolder()
{
    std::string v = AbsoluteEnv("XDG_CONFIG_HOME");
    return v.empty() ? GetHomeFolder() + "/.config" : StripTrailingSeparators(v);
}

namespace {

// One value of user-dirs.dirs, a shell word: "$HOME/My \"Docs\"" or /srv/docs. Inside
// double quotes a backslash escapes only " \ $ and `; outside them it escapes anything.
// Only a leading, unescaped $HOME expands. False for a word this reader does not take
// (an open quote, text after the closing quote, a blank outside quotes).
bool ParseUserDirsValue(const std::string& word, std::string& value)
{
    const bool quoted = !word.empty() && word.front() == '"';
    std::size_t i = quoted ? 1 : 0;
    value.clear();
    if (word.compare(i, 5, "$HOME") == 0) {
        const std::size_t after = i + 5;
        const bool wordEnds = quoted ? after < word.size() && word[after] == '"' : after == word.size();
        if (wordEnds || (after < word.size() && word[after] == '/')) {
            value = GetHomeFolder();
            i = after;
        }
    }
    for (; i < word.size(); ++i) {
        const char c = word[i];
        if (quoted && c == '"')
            return i + 1 == word.size();
        if (c == '\\' && i + 1 < word.size()) {
            const char next = word[i + 1];
            if (!quoted || next == '"' || next == '\\' || next == '$' || next == '`') {
                value += next;
                ++i;
                continue;
            }
        } else if (!quoted && (c == '"' || c == '\'' || c == ' ' || c == '\t')) {
            return false;
        }
        value += c;
    }
    return !quoted;
}

} // namespace

std::string GetUserDocumentsFolder()
{
    // user-dirs.dirs holds lines such as XDG_DOCUMENTS_DIR="$HOME/Documents".
    std::string text;
    ReadFileText(GetUserConfigFolder() + "/user-dirs.dirs", text);
    std::istringstream in(text);
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(in, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0)
            continue;
        const auto end = line.find_last_not_of(" \t\r");
        std::string value;
        if (!ParseUserDirsValue(line.substr(start + key.size(), end + 1 - start - key.size()), value))
            continue;
        // A documents folder equal to home means "not set" for the user-dirs tool.
        if (!value.empty() && value[0] == '/' && StripTrailingSeparators(value) != GetHomeFolder())
            return StripTrailingSeparators(value);
    }
    return GetHomeFolder() + "/Documents";
}

bool CreateFolderPath(const std::string& path)
{
    if (path.empty())
        return false;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const auto slash = path.find_last_of('/', path.size() > 1 ? path.size() - 2 : 0);
    if (slash != std::string::npos && slash > 0 && !CreateFolderPath(path.substr(0, slash)))
        return false;
    if (::mkdir(path.c_str(), 0700) == 0)
        return true;
    return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string GetRuntimeFolder()
{
    std::string v = AbsoluteEnv("XDG_RUNTIME_DIR");
    if (!v.empty())
        return StripTrailingSeparators(v);
    return EnsurePrivateFolder("/tmp/quarrow-" + std::to_string(::getuid()));
}

std::string EnsurePrivateFolder(const std::string& path)
{
    // mkdir fails if anything is there already, a link included; what is there is then
    // judged by lstat, so a link is never followed.
    ::mkdir(path.c_str(), 0700);
    struct stat st;
    const char* reason = nullptr;
    if (::lstat(path.c_str(), &st) != 0)
        reason = "missing and cannot be created";
    else if (!S_ISDIR(st.st_mode))
        reason = "not a folder";
    else if (st.st_uid != ::getuid())
        reason = "owned by another user";
    else if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        reason = "writable by others";
    if (reason)
        throw WException("The lock folder " + path + " cannot be used: it is " + reason);
    return path;
}

} // namespace HELPERS
