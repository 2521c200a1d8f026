#include "fetch/UrlResolutionReference.h"

#include <boost/algorithm/string/trim.hpp>
#include <boost/regex.hpp>

namespace URLMATCH {

const char* const kAbsoluteHttpPattern = R"((https?://[^\s"]+))";

const char* const kDirAndLastComponentPattern = R"(^(.*)/([^/]+$))";

const char* const kFileNameWithoutDotPattern = R"(^[A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]+$)";

// Group 4 is the extension: the name characters after the last dot.
const char* const kFileNameWithDotsPattern =
    R"(^([A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\]\;])+?([A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]|([.]))*?([A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]+)$)";

// Groups 2 to 5 tell the prefix: "/", "//", "./" segments, "../" segments.
const char* const kRelativeDirectoryPattern =
    R"(^((/){0,1}|(//){0,1}|(\./)+|(\.\./)+)([A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]+?[\.A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]*?/)*?$)";

const char* const kNetworkPathWithPortPattern =
    R"(^(//([A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]+?[\.A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]*?\:\d{1,6}/))([A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]+?[\.A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]*?/)*?$)";

namespace {

// Compiled once, on first use; function-local statics make that safe when two threads get
// there together.
template <const char* const* Text>
const boost::regex& Compiled()
{
    static const boost::regex re(*Text, boost::regex::perl);
    return re;
}

const boost::regex& AbsoluteHttp() { return Compiled<&kAbsoluteHttpPattern>(); }
const boost::regex& DirAndLastComponent() { return Compiled<&kDirAndLastComponentPattern>(); }
const boost::regex& FileNameWithoutDot() { return Compiled<&kFileNameWithoutDotPattern>(); }
const boost::regex& FileNameWithDots() { return Compiled<&kFileNameWithDotsPattern>(); }
const boost::regex& RelativeDirectory() { return Compiled<&kRelativeDirectoryPattern>(); }
const boost::regex& NetworkPathWithPort() { return Compiled<&kNetworkPathWithPortPattern>(); }

} // namespace

bool RegexAbsoluteHttp(const std::string& trimmed)
{
    return boost::regex_match(trimmed, AbsoluteHttp());
}

bool RegexFileNameWithoutDot(const std::string& s)
{
    return boost::regex_match(s, FileNameWithoutDot());
}

bool RegexFileNameWithDots(const std::string& s, std::string& extension)
{
    boost::smatch m;
    if (!boost::regex_match(s, m, FileNameWithDots()))
        return false;
    extension = m[4].str();
    return true;
}

int RegexRelativeDirectoryGroup(const std::string& d)
{
    boost::smatch m;
    if (!boost::regex_match(d, m, RelativeDirectory()))
        return -1;
    for (int group = 2; group <= 5; ++group) {
        if (m[group].matched)
            return group;
    }
    return 0;
}

bool RegexNetworkPathWithPort(const std::string& d)
{
    return boost::regex_match(d, NetworkPathWithPort());
}

bool RegexSplitDirAndLastComponent(const std::string& t, std::string& dir, std::string& name)
{
    boost::smatch m;
    if (!boost::regex_match(t, m, DirAndLastComponent()))
        return false;
    dir = m[1].str();
    name = m[2].str();
    return true;
}

bool RegexIsAbsoluteHttpURL(const std::string& url)
{
    return RegexAbsoluteHttp(boost::algorithm::trim_copy(url));
}

bool RegexIsValidFileName(const std::string& name, std::string& extension)
{
    if (RegexFileNameWithoutDot(name)) {
        extension.clear();
        return true;
    }
    return RegexFileNameWithDots(name, extension);
}

int RegexGetRelativeURLType(const std::string& value, std::string& fileName, std::string& extension)
{
    extension.clear();
    const std::string t = boost::algorithm::trim_copy(value);
    if (t.empty())
        return 0;

    std::string dir;
    std::string name;
    if (RegexSplitDirAndLastComponent(t, dir, name)) {
        fileName = name;

        if (!RegexIsValidFileName(name, extension) && dir != "/")
            return 0;
        if (dir.empty())
            return 2;
        if (dir == "/")
            return RegexNetworkPathWithPort(t + "/") ? 3 : 0;

        const std::string d = dir + "/";
        switch (RegexRelativeDirectoryGroup(d)) {
        case 2:
            return 2;
        case 3:
            return 3;
        case 4:
            return 5;
        case 5:
            return 4;
        case 0:
            return 1;
        default:
            return RegexNetworkPathWithPort(d) ? 3 : 0;
        }
    }

    if (RegexIsValidFileName(t, extension)) {
        fileName = t;
        return 1;
    }
    return 0;
}

} // namespace URLMATCH
