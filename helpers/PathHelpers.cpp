#include "helpers/PathHelpers.h"

#include "helpers/WException.h"

#include <boost/regex.hpp>
#include <sys/stat.h>

namespace HELPERS {

namespace {

bool EndsWithSeparator(const std::string& s) { return !s.empty() && s.back() == kPathSeparator; }

// Compiled on first use; static initialisation is thread-safe, so two threads may race
// to the first call.
const boost::regex& SplitPattern()
{
    static const boost::regex re("(^.+)(\\.[^.]+)", boost::regex::perl);
    return re;
}

const boost::regex& ExtensionPattern()
{
    static const boost::regex re("^.+(\\.[^.]+)", boost::regex::perl);
    return re;
}

} // namespace

std::string GetFullFilePath(const std::string& fileName, const std::string& folder)
{
    if (folder.empty())
        throw WException("Invalid foldername passed into GetFullFilePath");
    if (EndsWithSeparator(folder))
        return folder + fileName;
    return folder + kPathSeparator + fileName;
}

WinDirectory GetFullDirectoryPath(const std::string& relativeDir, const std::string& fullPrependPath)
{
    if (fullPrependPath.empty())
        throw WException("Invalid fullPrependPath passed into GetFullDirectoryPath");
    std::string r = relativeDir;
    if (!EndsWithSeparator(r))
        r += kPathSeparator;
    if (EndsWithSeparator(fullPrependPath))
        return WinDirectory(fullPrependPath + r);
    return WinDirectory(fullPrependPath + kPathSeparator + r);
}

bool FileExists(const std::string& fileName, const std::string& folder)
{
    const std::string path = GetFullFilePath(fileName, folder);
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

void SplitFileName(const std::string& fileName, std::string& baseName, std::string& extension)
{
    boost::smatch m;
    if (boost::regex_match(fileName, m, SplitPattern())) {
        baseName = m[1].str();
        extension = m[2].str();
    } else {
        baseName = fileName;
        extension.clear();
    }
}

std::string GetFileExtension(const std::string& fileName)
{
    boost::smatch m;
    if (boost::regex_match(fileName, m, ExtensionPattern()))
        return m[1].str();
    return std::string();
}

bool MakeUniqueFileName(std::string& fileName, const std::string& folder)
{
    if (fileName.empty())
        return false;
    std::string base, ext;
    SplitFileName(fileName, base, ext);
    for (int i = 0; i < 100; ++i) {
        if (!FileExists(fileName, folder))
            return true;
        fileName = base + "(" + std::to_string(i) + ")" + ext;
    }
    return false;
}

} // namespace HELPERS
