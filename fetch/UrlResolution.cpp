#include "fetch/UrlResolution.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/predicate.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>
#include <boost/regex.hpp>

#include <stdexcept>
#include <vector>

namespace {

// Each pattern is compiled once, on first use; function-local statics make that safe when
// two threads get there together.

const boost::regex& AbsoluteHttpPattern()
{
    static const boost::regex re(R"((https?://[^\s"]+))", boost::regex::perl);
    return re;
}

const boost::regex& DirAndLastComponentPattern()
{
    static const boost::regex re(R"(^(.*)/([^/]+$))", boost::regex::perl);
    return re;
}

const boost::regex& FileNameWithoutDotPattern()
{
    static const boost::regex re(R"(^[A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]+$)",
                                 boost::regex::perl);
    return re;
}

// Group 4 is the extension: the name characters after the last dot.
const boost::regex& FileNameWithDotsPattern()
{
    static const boost::regex re(
        R"(^([A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\]\;])+?([A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]|([.]))*?([A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]+)$)",
        boost::regex::perl);
    return re;
}

// Groups 2 to 5 tell the prefix: "/", "//", "./" segments, "../" segments.
const boost::regex& RelativeDirectoryPattern()
{
    static const boost::regex re(
        R"(^((/){0,1}|(//){0,1}|(\./)+|(\.\./)+)([A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]+?[\.A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]*?/)*?$)",
        boost::regex::perl);
    return re;
}

const boost::regex& NetworkPathWithPortPattern()
{
    static const boost::regex re(
        R"(^(//([A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]+?[\.A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]*?\:\d{1,6}/))([A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]+?[\.A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]*?/)*?$)",
        boost::regex::perl);
    return re;
}

// Splits at every "/", keeping empty parts.
std::vector<std::string> SplitAtSlash(const std::string& text)
{
    std::vector<std::string> parts;
    boost::algorithm::split(parts, text, boost::algorithm::is_any_of("/"),
                            boost::algorithm::token_compress_off);
    return parts;
}

// "https://" for an https address, "http://" for anything else, so that resolved
// addresses stay on the page's scheme.
std::string SchemePrefixOf(const std::string& url)
{
    return boost::algorithm::starts_with(url, "https://") ? "https://" : "http://";
}

// The trimmed, checked page address and its parts; throws for anything but an absolute
// http or https address.
std::vector<std::string> SplitPageURL(const std::string& pageURL, std::string& trimmed)
{
    if (!IsAbsoluteHttpURL(pageURL))
        throw std::runtime_error("Invalid string passed in for absolute URL!");
    // Trimmed so that surrounding blanks never end up inside the result.
    trimmed = boost::algorithm::trim_copy(pageURL);
    std::vector<std::string> parts = SplitAtSlash(trimmed);
    if (parts.size() < 3)
        throw std::runtime_error("Invalid string passed in for absolute URL!");
    return parts;
}

} // namespace

bool IsAbsoluteHttpURL(const std::string& url)
{
    const std::string trimmed = boost::algorithm::trim_copy(url);
    return boost::regex_match(trimmed, AbsoluteHttpPattern());
}

std::string GetBaseURL(const std::string& pageURL)
{
    std::string trimmed;
    const std::vector<std::string> parts = SplitPageURL(pageURL, trimmed);
    if (parts.size() == 3)
        return trimmed + "/";

    // The last part is the document name (or the empty part after a final "/").
    std::string base = SchemePrefixOf(trimmed);
    for (std::size_t i = 2; i + 1 < parts.size(); ++i)
        base += parts[i] + "/";
    return base;
}

std::string GetRootURL(const std::string& pageURL)
{
    std::string trimmed;
    const std::vector<std::string> parts = SplitPageURL(pageURL, trimmed);
    if (parts.size() == 3)
        return trimmed + "/";
    return SchemePrefixOf(trimmed) + parts[2] + "/";
}

bool IsValidFileName(const std::string& name, std::string& extension)
{
    if (boost::regex_match(name, FileNameWithoutDotPattern())) {
        extension.clear();
        return true;
    }
    boost::smatch m;
    if (boost::regex_match(name, m, FileNameWithDotsPattern())) {
        extension = m[4].str();
        return true;
    }
    return false;
}

int GetRelativeURLType(const std::string& value, std::string& fileName, std::string& extension)
{
    extension.clear();
    const std::string t = boost::algorithm::trim_copy(value);
    if (t.empty())
        return 0;

    boost::smatch m;
    if (boost::regex_match(t, m, DirAndLastComponentPattern())) {
        const std::string dir = m[1].str();
        const std::string name = m[2].str();
        fileName = name;

        if (!IsValidFileName(name, extension) && dir != "/")
            return 0;
        if (dir.empty())
            return 2;
        if (dir == "/")
            return boost::regex_match(t + "/", NetworkPathWithPortPattern()) ? 3 : 0;

        const std::string d = dir + "/";
        boost::smatch dm;
        if (boost::regex_match(d, dm, RelativeDirectoryPattern())) {
            if (dm[2].matched)
                return 2;
            if (dm[3].matched)
                return 3;
            if (dm[4].matched)
                return 5;
            if (dm[5].matched)
                return 4;
            return 1;
        }
        return boost::regex_match(d, NetworkPathWithPortPattern()) ? 3 : 0;
    }

    if (IsValidFileName(t, extension)) {
        fileName = t;
        return 1;
    }
    return 0;
}

void CombineBaseURLAndRelativeFileURL(const std::string& baseURL, const std::string& relativeURL,
                                      std::string& outURL)
{
    if (baseURL.size() < 2)
        throw std::runtime_error(
            "Invalid base URL string passed into CombineBaseURLAndRelativeFileURL");
    if (relativeURL.size() < 2)
        throw std::runtime_error(
            "Invalid relative file URL string passed into CombineBaseURLAndRelativeFileURL");

    const bool baseSlash = baseURL.back() == '/';
    const bool relativeSlash = relativeURL.front() == '/';
    if (baseSlash && relativeSlash)
        outURL = baseURL.substr(0, baseURL.size() - 1) + relativeURL;
    else if (baseSlash || relativeSlash)
        outURL = baseURL + relativeURL;
    else
        outURL = baseURL + "/" + relativeURL;
}

int StripCSOrBTFromRelativeFileURL(const std::string& relativeURL, std::string& rest,
                                   const std::string& token)
{
    if (token != ".." && token != ".")
        throw std::runtime_error(
            "Invalid CS/BT value passed into StripCSOrBTFromRelativeFileURL");

    const char* const badRelative =
        "Invalid relative file URL string passed into StripCSOrBTFromRelativeFileURL";
    if (relativeURL.empty() || relativeURL.front() == '/' || relativeURL.back() == '/')
        throw std::runtime_error(badRelative);

    const std::vector<std::string> parts = SplitAtSlash(relativeURL);
    int count = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].empty())
            throw std::runtime_error(badRelative);
        if (parts[i] == token) {
            ++count;
            continue;
        }
        std::string joined = parts[i];
        for (std::size_t j = i + 1; j < parts.size(); ++j)
            joined += "/" + parts[j];
        rest = joined;
        return count;
    }
    throw std::runtime_error(badRelative);
}

void ApplyBacktrackToBaseURL(const std::string& baseURL, std::string& outURL, int count)
{
    if (count < 0)
        throw std::runtime_error(
            "Invalid backtrack count value passed into ApplyBacktrackToBaseURL");
    if (count == 0)
        return;

    const char* const badBacktrack =
        "Invalid backtrack count/base URL passed into ApplyBacktrackToBaseURL!";
    const std::vector<std::string> parts = SplitAtSlash(baseURL);
    const std::size_t n = static_cast<std::size_t>(count);
    if (parts.size() < 3 || parts.size() - 3 < n)
        throw std::runtime_error(badBacktrack);

    // The base ends in "/", so its final empty part is one of the `count` parts dropped.
    std::string out = SchemePrefixOf(baseURL) + parts[2];
    for (std::size_t i = 3; i < parts.size() - n; ++i) {
        if (parts[i].empty())
            throw std::runtime_error(badBacktrack);
        out += "/" + parts[i];
    }
    out += "/";
    outURL = out;
}
