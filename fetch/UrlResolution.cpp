#include "fetch/UrlResolution.h"

#include <array>
#include <stdexcept>
#include <vector>

#include "helpers/AsciiText.h"

namespace {

bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Bytes a browser percent-encodes in a path or a query: controls, blanks, non-ASCII
// bytes and a few characters that would end the address in other contexts.
constexpr unsigned char kEncodeInPath = 1;
constexpr unsigned char kEncodeInQuery = 2;

constexpr std::array<unsigned char, 256> kEncodeTable = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        if (c <= 0x20 || c >= 0x7F)
            table[static_cast<std::size_t>(c)] = kEncodeInPath | kEncodeInQuery;
    }
    for (unsigned char c : {'"', '<', '>'})
        table[c] = kEncodeInPath | kEncodeInQuery;
    for (unsigned char c : {'`', '{', '}'})
        table[c] |= kEncodeInPath;
    table[static_cast<unsigned char>('\'')] |= kEncodeInQuery;
    return table;
}();

void AppendEncoded(std::string& out, std::string_view text, unsigned char set)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (kEncodeTable[b] & set) {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
}

// "." and "..", also when written with %2e as browsers accept them.
bool IsDotSegment(std::string_view s) { return s == "." || HELPERS::EqualsIgnoringAsciiCase(s, "%2e"); }

bool IsDoubleDotSegment(std::string_view s)
{
    return s == ".." || HELPERS::EqualsIgnoringAsciiCase(s, ".%2e") || HELPERS::EqualsIgnoringAsciiCase(s, "%2e.") ||
           HELPERS::EqualsIgnoringAsciiCase(s, "%2e%2e");
}

// `path` starts with "/". Dot segments are applied in order; ".." never climbs above the
// root, and a final dot segment leaves a directory (a path ending in "/").
std::string RemoveDotSegments(std::string_view path)
{
    std::vector<std::string_view> out;
    std::size_t start = 1;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        const bool last = slash == std::string_view::npos;
        const std::string_view segment = path.substr(start, last ? std::string_view::npos : slash - start);
        if (IsDoubleDotSegment(segment)) {
            if (!out.empty())
                out.pop_back();
            if (last)
                out.emplace_back();
        } else if (IsDotSegment(segment)) {
            if (last)
                out.emplace_back();
        } else {
            out.push_back(segment);
        }
        if (last)
            break;
        start = slash + 1;
    }
    std::string result;
    result.reserve(path.size());
    for (std::string_view segment : out) {
        result += '/';
        result += segment;
    }
    return result.empty() ? "/" : result;
}

// Host and port checked and put in their usual form; false for an empty host, a character
// no host may hold, or a port that is not a number up to 65535.
bool NormalizeAuthority(std::string_view authority, std::string_view scheme, std::string& out)
{
    std::string_view userinfo;
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        userinfo = authority.substr(0, at + 1);
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    std::string_view port;
    const std::size_t bracket = authority.rfind(']');
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.empty())
        return false;
    const bool literal = host.front() == '[';
    if (literal && host.back() != ']')
        return false;
    for (char c : literal ? host.substr(1, host.size() - 2) : host) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F)
            return false;
        if (literal ? !(IsAsciiDigit(c) || HexValue(c) >= 0 || c == ':' || c == '.')
                    : std::string_view("#%/:<>?@[\\]^|\"").find(c) != std::string_view::npos)
            return false;
    }
    if (port.size() > 5)
        return false;
    long number = 0;
    for (char c : port) {
        if (!IsAsciiDigit(c))
            return false;
        number = number * 10 + (c - '0');
    }
    if (number > 65535)
        return false;

    out.assign(userinfo);
    out += HELPERS::ToLowerAscii(host);
    const bool defaultPort = port.empty() || (scheme == "http" && number == 80) || (scheme == "https" && number == 443);
    if (!defaultPort) {
        out += ':';
        out += std::to_string(number);
    }
    return true;
}

// What a browser does to an address before reading it: blanks and controls at both ends
// go, tabs and line breaks anywhere go.
std::string CleanReference(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20)
        --end;
    std::string out;
    out.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
        const char c = text[i];
        if (c != '\t' && c != '\n' && c != '\r')
            out += c;
    }
    return out;
}

// The length of a leading "scheme:", or 0 when the text has none.
std::size_t SchemeLength(std::string_view s)
{
    if (s.empty() || !IsAsciiAlpha(s[0]))
        return 0;
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ':')
            return i + 1;
        if (!(IsAsciiAlpha(c) || IsAsciiDigit(c) || c == '+' || c == '-' || c == '.'))
            return 0;
    }
    return 0;
}

bool IsHttpScheme(std::string_view lowerScheme) { return lowerScheme == "http" || lowerScheme == "https"; }

// Splits `rest` (no scheme, backslashes already turned into slashes, fragment removed)
// into what stands before the query and the query with its "?".
void SplitQuery(std::string_view rest, std::string_view& beforeQuery, std::string_view& query)
{
    const std::size_t q = rest.find('?');
    beforeQuery = rest.substr(0, q);
    query = q == std::string_view::npos ? std::string_view() : rest.substr(q);
}

// "//authority/path?query" into `out` (scheme already set).
bool ParseNetworkPath(std::string_view rest, HttpURL& out)
{
    std::string_view beforeQuery, query;
    SplitQuery(rest, beforeQuery, query);
    std::size_t i = 0;
    while (i < beforeQuery.size() && beforeQuery[i] == '/')
        ++i;
    const std::size_t slash = beforeQuery.find('/', i);
    const std::string_view authority = beforeQuery.substr(i, slash == std::string_view::npos ? slash : slash - i);
    if (!NormalizeAuthority(authority, out.scheme, out.authority))
        return false;
    std::string path;
    AppendEncoded(path, slash == std::string_view::npos ? std::string_view("/") : beforeQuery.substr(slash),
                  kEncodeInPath);
    out.path = RemoveDotSegments(path);
    out.query.clear();
    AppendEncoded(out.query, query, kEncodeInQuery);
    return true;
}

// The reference without its fragment, with "\" read as "/" before the query, as browsers
// read http addresses.
std::string WithoutFragment(std::string_view text)
{
    std::string s(text.substr(0, text.find('#')));
    const std::size_t q = s.find('?');
    for (std::size_t i = 0; i < s.size() && i < q; ++i) {
        if (s[i] == '\\')
            s[i] = '/';
    }
    return s;
}

} // namespace

bool ParseAbsoluteHttpURL(std::string_view text, HttpURL& out)
{
    const std::string clean = CleanReference(text);
    const std::size_t schemeLength = SchemeLength(clean);
    if (schemeLength == 0)
        return false;
    HttpURL url;
    url.scheme = HELPERS::ToLowerAscii(std::string_view(clean).substr(0, schemeLength - 1));
    if (!IsHttpScheme(url.scheme))
        return false;
    const std::string rest = WithoutFragment(std::string_view(clean).substr(schemeLength));
    if (!ParseNetworkPath(rest, url))
        return false;
    out = std::move(url);
    return true;
}

bool IsAbsoluteHttpURL(std::string_view text)
{
    HttpURL url;
    return ParseAbsoluteHttpURL(text, url);
}

HttpURL ToAbsoluteHttpURL(std::string_view text)
{
    HttpURL url;
    if (!ParseAbsoluteHttpURL(text, url))
        throw std::runtime_error("Invalid string passed in for absolute URL!");
    return url;
}

bool ResolveURL(const HttpURL& base, std::string_view reference, HttpURL& out)
{
    const std::string clean = CleanReference(reference);
    std::string_view rest = clean;
    if (const std::size_t schemeLength = SchemeLength(rest); schemeLength > 0) {
        const std::string scheme = HELPERS::ToLowerAscii(rest.substr(0, schemeLength - 1));
        if (!IsHttpScheme(scheme))
            return false;
        rest.remove_prefix(schemeLength);
        if (scheme != base.scheme) {
            // Another web scheme names its host, however many slashes follow.
            out.scheme = scheme;
            return ParseNetworkPath(WithoutFragment(rest), out);
        }
        // "http:x.jpg" on an http page is relative, as in browsers.
    }
    const std::string s = WithoutFragment(rest);
    out.scheme = base.scheme;
    if (s.size() >= 2 && s[0] == '/' && s[1] == '/')
        return ParseNetworkPath(s, out);

    std::string_view beforeQuery, query;
    SplitQuery(s, beforeQuery, query);
    out.authority = base.authority;
    if (beforeQuery.empty()) {
        out.path = base.path;
        if (query.empty() && s.empty()) {
            out.query = base.query;
            return true;
        }
    } else {
        std::string merged;
        if (beforeQuery.front() != '/')
            merged.assign(base.path, 0, base.path.rfind('/') + 1);
        AppendEncoded(merged, beforeQuery, kEncodeInPath);
        out.path = RemoveDotSegments(merged);
    }
    out.query.clear();
    AppendEncoded(out.query, query, kEncodeInQuery);
    return true;
}

std::string PercentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

namespace {

// Longest saved name in bytes: below the file system's 255, with room for the numbered
// names of the rename policy.
constexpr std::size_t kMaxNameBytes = 200;

// The characters a file type may be written with (the filter refuses any other).
bool IsExtensionChar(char c)
{
    return IsAsciiAlpha(c) || IsAsciiDigit(c) ||
           std::string_view("'~`!@#$%&^_+=(){},-[];").find(c) != std::string_view::npos;
}

// The number of bytes of `s` that fit in `limit` without cutting a UTF-8 sequence.
std::size_t Utf8Prefix(std::string_view s, std::size_t limit)
{
    if (s.size() <= limit)
        return s.size();
    std::size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

} // namespace

bool FileNameFromURL(const HttpURL& url, std::string& fileName, std::string& extension)
{
    fileName.clear();
    extension.clear();
    const std::string_view segment = std::string_view(url.path).substr(url.path.rfind('/') + 1);
    std::string name = PercentDecode(segment);
    for (char& c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '/' || b < 0x20 || b == 0x7F)
            c = '_';
    }
    // "." and ".." cannot be the last segment of a resolved address, but a decoded name
    // is checked again: it must never mean the folder itself or its parent.
    if (name.empty() || name == "." || name == "..")
        return false;

    const std::size_t dot = name.rfind('.');
    std::string ext = dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot + 1);
    for (char c : ext) {
        if (!IsExtensionChar(c)) {
            ext.clear();
            break;
        }
    }
    if (name.size() > kMaxNameBytes) {
        // A very long extension is no file type anyone filters on.
        if (ext.size() > 32)
            ext.clear();
        const std::string tail = ext.empty() ? std::string() : "." + ext;
        name = name.substr(0, Utf8Prefix(name, kMaxNameBytes - tail.size())) + tail;
    }
    fileName = std::move(name);
    extension = std::move(ext);
    return true;
}
