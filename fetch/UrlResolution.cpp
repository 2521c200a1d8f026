#include "fetch/UrlResolution.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/predicate.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>

#include <array>
#include <locale>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "fetch/UrlResolutionReference.h"

// Every link of a page is classified, so the patterns of UrlResolutionReference.cpp are
// matched here by hand: Boost.Regex spent microseconds per link on them, mostly backtracking
// through their lazy repeats. Each matcher gives the answer (and the captures) a whole-string
// match of its pattern gives; the equivalence test checks them against the regexes.

namespace {

constexpr unsigned char kNameChar = 1;
constexpr unsigned char kDotChar = 2;

// ASCII letters, digits and the 22 punctuation characters of the patterns' name class.
constexpr std::array<unsigned char, 256> kCharClass = [] {
    std::array<unsigned char, 256> table{};
    for (char c = 'A'; c <= 'Z'; ++c)
        table[static_cast<unsigned char>(c)] = kNameChar;
    for (char c = 'a'; c <= 'z'; ++c)
        table[static_cast<unsigned char>(c)] = kNameChar;
    for (char c = '0'; c <= '9'; ++c)
        table[static_cast<unsigned char>(c)] = kNameChar;
    for (char c : std::string_view("'~`!@#$%&^_+=(){},-[];"))
        table[static_cast<unsigned char>(c)] = kNameChar;
    table[static_cast<unsigned char>('.')] = kDotChar;
    return table;
}();

constexpr bool IsNameChar(char c) { return kCharClass[static_cast<unsigned char>(c)] == kNameChar; }
constexpr bool IsNameCharOrDot(char c) { return kCharClass[static_cast<unsigned char>(c)] != 0; }
constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

constexpr std::size_t CountNameChars()
{
    std::size_t n = 0;
    for (unsigned char c : kCharClass)
        n += c == kNameChar;
    return n;
}
static_assert(CountNameChars() == 26 + 26 + 10 + 22);

// "([name][.name]*?/)*?" over all of `s`: zero or more directory segments, each a name
// character, then name characters or dots, then "/". Segments hold no "/", so the split
// is fixed and the lazy quantifiers only decide the order of the attempts.
bool IsSegmentChain(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        if (!IsNameChar(s[i]))
            return false;
        for (++i; i < s.size() && s[i] != '/'; ++i) {
            if (!IsNameCharOrDot(s[i]))
                return false;
        }
        if (i == s.size())
            return false;
        ++i; // the "/"
    }
    return true;
}

// The number of leading copies of `unit` in `s`.
std::size_t LeadingRepeats(std::string_view s, std::string_view unit)
{
    std::size_t n = 0;
    while (s.substr(n * unit.size(), unit.size()) == unit)
        ++n;
    return n;
}

} // namespace

namespace URLMATCH {

bool IsFileNameWithoutDot(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s) {
        if (!IsNameChar(c))
            return false;
    }
    return true;
}

bool MatchFileNameWithDots(std::string_view s, std::string_view& extension)
{
    // One name character, then name characters or dots, then at least one name character.
    if (s.size() < 2 || !IsNameChar(s.front()) || !IsNameChar(s.back()))
        return false;
    std::size_t lastDot = 0;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (!IsNameCharOrDot(s[i]))
            return false;
        if (s[i] == '.')
            lastDot = i;
    }
    // The lazy groups 1 and 2 hand group 4 the longest run of name characters they can:
    // everything after the last dot, or everything after the first character when there
    // is no dot.
    extension = s.substr(lastDot + 1);
    return true;
}

int RelativeDirectoryGroup(std::string_view d)
{
    // The alternatives in the order the pattern tries them. "(/){0,1}" tries one "/"
    // first, then none; "(//){0,1}" with none repeats that failed attempt. With no prefix
    // the whole of d must be a segment chain, and then none of groups 2 to 5 took part.
    if (d.substr(0, 1) == "/") {
        if (IsSegmentChain(d.substr(1)))
            return 2;
        if (d.substr(0, 2) == "//" && IsSegmentChain(d.substr(2)))
            return 3;
        return -1;
    }
    if (IsSegmentChain(d))
        return 0;
    // "(\./)+" and "(\.\./)+" are greedy; giving back a repeat leaves a "." in front of
    // the chain, which no segment accepts, so only the longest run of the prefix counts.
    if (const std::size_t n = LeadingRepeats(d, "./"); n > 0)
        return IsSegmentChain(d.substr(2 * n)) ? 4 : -1;
    if (const std::size_t n = LeadingRepeats(d, "../"); n > 0)
        return IsSegmentChain(d.substr(3 * n)) ? 5 : -1;
    return -1;
}

bool IsNetworkPathWithPort(std::string_view d)
{
    // "//", a host (a name character, then name characters or dots), ":", one to six
    // digits, "/", then a segment chain.
    if (d.substr(0, 2) != "//" || d.size() < 3 || !IsNameChar(d[2]))
        return false;
    std::size_t i = 3;
    while (i < d.size() && IsNameCharOrDot(d[i]))
        ++i;
    if (i == d.size() || d[i] != ':')
        return false;
    const std::size_t digits = ++i;
    while (i < d.size() && IsAsciiDigit(d[i]))
        ++i;
    if (i == digits || i - digits > 6 || i == d.size() || d[i] != '/')
        return false;
    return IsSegmentChain(d.substr(i + 1));
}

bool SplitDirAndLastComponent(std::string_view t, std::string_view& dir, std::string_view& name)
{
    const std::size_t slash = t.rfind('/');
    if (slash == std::string_view::npos || slash + 1 == t.size())
        return false;
    dir = t.substr(0, slash);
    name = t.substr(slash + 1);
    return true;
}

bool MatchesAbsoluteHttp(std::string_view trimmed)
{
    // "\s" is the space class of the global locale as it was when the pattern would have
    // been compiled: at the first use.
    static const std::locale patternLocale;
    std::string_view rest;
    if (trimmed.substr(0, 8) == "https://")
        rest = trimmed.substr(8);
    else if (trimmed.substr(0, 7) == "http://")
        rest = trimmed.substr(7);
    else
        return false;
    if (rest.empty())
        return false;
    const auto& ctype = std::use_facet<std::ctype<char>>(patternLocale);
    for (char c : rest) {
        if (c == '"' || ctype.is(std::ctype_base::space, c))
            return false;
    }
    return true;
}

} // namespace URLMATCH

namespace {

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

bool IsValidFileNameView(std::string_view name, std::string& extension)
{
    if (URLMATCH::IsFileNameWithoutDot(name)) {
        extension.clear();
        return true;
    }
    std::string_view ext;
    if (URLMATCH::MatchFileNameWithDots(name, ext)) {
        extension.assign(ext);
        return true;
    }
    return false;
}

} // namespace

bool IsAbsoluteHttpURL(const std::string& url)
{
    return URLMATCH::MatchesAbsoluteHttp(boost::algorithm::trim_copy(url));
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
    return IsValidFileNameView(name, extension);
}

int GetRelativeURLType(const std::string& value, std::string& fileName, std::string& extension)
{
    extension.clear();
    const std::string t = boost::algorithm::trim_copy(value);
    if (t.empty())
        return 0;

    std::string_view dir;
    std::string_view name;
    if (URLMATCH::SplitDirAndLastComponent(t, dir, name)) {
        fileName.assign(name);

        if (!IsValidFileNameView(name, extension) && dir != "/")
            return 0;
        if (dir.empty())
            return 2;
        if (dir == "/")
            return URLMATCH::IsNetworkPathWithPort(t + "/") ? 3 : 0;

        // The directory with its final "/", as a view into t.
        const std::string_view d(t.data(), dir.size() + 1);
        switch (URLMATCH::RelativeDirectoryGroup(d)) {
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
            return URLMATCH::IsNetworkPathWithPort(d) ? 3 : 0;
        }
    }

    if (IsValidFileNameView(t, extension)) {
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
