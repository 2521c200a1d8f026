#include "helpers/UserFolders.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
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

std::string GetUserDocumentsFolder()
{
    // user-dirs.dirs holds lines such as XDG_DOCUMENTS_DIR="$HOME/Documents".
    std::ifstream in(GetUserConfigFolder() + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(in, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0)
            continue;
        std::string value = line.substr(start + key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            value = GetHomeFolder() + value.substr(5);
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
    CreateFolderPath(path);
    return path;
}

} // namespace HELPERS
