#include "config/SettingsFile.h"

#include "config/ConfigOptions.h"
#include "helpers/AtomicFile.h"
#include "helpers/NamedMutex.h"
#include "helpers/PathHelpers.h"
#include "helpers/WException.h"

#include <cerrno>
#include <sys/stat.h>

std::string SettingsFilePath(const char* path, const char* fileName)
{
    if (path)
        return path;
    HELPERS::WinDirectory folder;
    if (!GetAppDataFolder(folder))
        return std::string();
    return HELPERS::GetFullFilePath(fileName, folder);
}

void SaveSettingsFile(const char* mutexName, unsigned waitMs, const char* path, const char* fileName,
                      const std::string& text, const SettingsSaveErrors& errors)
{
    HELPERS::NamedMutex mutex(mutexName);
    HELPERS::NamedMutexLock lock(mutex, waitMs);
    if (!lock.OwnsLock())
        throw HELPERS::WException(errors.lockFailed);

    std::string file;
    if (path) {
        file = path;
    } else {
        HELPERS::WinDirectory folder;
        if (!GetAppDataFolder(folder))
            throw HELPERS::WException(errors.noFolder);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            throw HELPERS::WException(errors.createFailed + folder.GetPath());
        file = HELPERS::GetFullFilePath(fileName, folder);
    }
    HELPERS::ReplaceFileAtomically(file, text);
}
