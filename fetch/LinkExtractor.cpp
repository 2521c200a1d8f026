#include "fetch/LinkExtractor.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "helpers/AsciiText.h"
#include "helpers/Utf8.h"

namespace {

// The tokenizer below follows the HTML tokenizer's states only as far as they decide
// where a tag and its attribute values begin and end. Every loop moves forward, and a
// construct cut off by the end of the page ends the scan, so no byte is read more than a
// few times.

bool IsHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiAlnum(char c) { return IsAsciiAlpha(c) || (c >= '0' && c <= '9'); }

// Bytes that end an attribute name or an unquoted attribute value.
constexpr unsigned char kEndsName = 1;  // space, "/", ">", "="
constexpr unsigned char kEndsValue = 2; // space, ">"
constexpr std::array<unsigned char, 256> kStop = [] {
    std::array<unsigned char, 256> t{};
    for (unsigned char c : {' ', '\t', '\n', '\f', '\r'})
        t[c] = kEndsName | kEndsValue;
    t[static_cast<unsigned char>('>')] = kEndsName | kEndsValue;
    t[static_cast<unsigned char>('/')] = kEndsName;
    t[static_cast<unsigned char>('=')] = kEndsName;
    return t;
}();

bool Stops(char c, unsigned char what) { return (kStop[static_cast<unsigned char>(c)] & what) != 0; }

const char* Find(const char* p, const char* end, char c)
{
    const void* hit = std::memchr(p, c, static_cast<std::size_t>(end - p));
    return hit ? static_cast<const char*>(hit) : end;
}

const char* Find(const char* p, const char* end, std::string_view s)
{
    for (;;) {
        p = Find(p, end, s.front());
        if (static_cast<std::size_t>(end - p) < s.size())
            return end;
        if (std::memcmp(p, s.data(), s.size()) == 0)
            return p;
        ++p;
    }
}

enum class TagName { Other, A, Img, Base, RawText, PlainText };

TagName ClassifyTag(std::string_view name)
{
    using HELPERS::EqualsIgnoringAsciiCase;
    switch (name.size()) {
    case 1: return EqualsIgnoringAsciiCase(name, "a") ? TagName::A : TagName::Other;
    case 3:
        return EqualsIgnoringAsciiCase(name, "img")   ? TagName::Img
               : EqualsIgnoringAsciiCase(name, "xmp") ? TagName::RawText
                                                      : TagName::Other;
    case 4: return EqualsIgnoringAsciiCase(name, "base") ? TagName::Base : TagName::Other;
    case 5:
        return EqualsIgnoringAsciiCase(name, "style") || EqualsIgnoringAsciiCase(name, "title") ? TagName::RawText
                                                                                                : TagName::Other;
    case 6:
        return EqualsIgnoringAsciiCase(name, "script") || EqualsIgnoringAsciiCase(name, "iframe") ? TagName::RawText
                                                                                                  : TagName::Other;
    case 7: return EqualsIgnoringAsciiCase(name, "noembed") ? TagName::RawText : TagName::Other;
    case 8:
        return EqualsIgnoringAsciiCase(name, "textarea") || EqualsIgnoringAsciiCase(name, "noframes") ? TagName::RawText
                                                                                                      : TagName::Other;
    case 9: return EqualsIgnoringAsciiCase(name, "plaintext") ? TagName::PlainText : TagName::Other;
    default: return TagName::Other;
    }
}

struct Tag {
    const char* end = nullptr; // just past the closing ">"
    bool hasValue = false;     // the wanted attribute was present
    std::string_view value;    // its raw value, character references not yet decoded
};

// Reads a tag's attributes from `p` (just past its name) to its ">", keeping the value of
// the first attribute named `wanted` (none when empty). False when the page ends inside
// the tag: such a tag is no tag at all.
bool ReadTag(const char* p, const char* end, std::string_view wanted, Tag& tag)
{
    for (;;) {
        while (p < end && (IsHtmlSpace(*p) || *p == '/'))
            ++p;
        if (p == end)
            return false;
        if (*p == '>') {
            tag.end = p + 1;
            return true;
        }
        // An attribute name; a leading "=" belongs to it.
        const char* attr = p++;
        while (p < end && !Stops(*p, kEndsName))
            ++p;
        const bool keep =
            !tag.hasValue && !wanted.empty() &&
            HELPERS::EqualsIgnoringAsciiCase(std::string_view(attr, static_cast<std::size_t>(p - attr)), wanted);
        while (p < end && IsHtmlSpace(*p))
            ++p;
        if (p == end)
            return false;
        if (*p != '=') {
            if (keep) {
                tag.hasValue = true;
                tag.value = {};
            }
            continue;
        }
        ++p;
        while (p < end && IsHtmlSpace(*p))
            ++p;
        if (p == end)
            return false;
        const char* valueStart = p;
        const char* valueEnd;
        if (*p == '"' || *p == '\'') {
            valueStart = p + 1;
            valueEnd = Find(valueStart, end, *p);
            if (valueEnd == end)
                return false;
            p = valueEnd + 1;
        } else {
            while (p < end && !Stops(*p, kEndsValue))
                ++p;
            valueEnd = p;
        }
        if (keep) {
            tag.hasValue = true;
            tag.value = std::string_view(valueStart, static_cast<std::size_t>(valueEnd - valueStart));
        }
    }
}

// Past the end tag that closes a raw-text element such as script: its content is text,
// whatever tags it seems to hold. At the start of that end tag, or `end` when it is missing.
const char* SkipRawText(const char* p, const char* end, std::string_view name)
{
    for (;;) {
        p = Find(p, end, '<');
        if (static_cast<std::size_t>(end - p) < name.size() + 2)
            return end;
        if (p[1] == '/' && HELPERS::EqualsIgnoringAsciiCase(std::string_view(p + 2, name.size()), name)) {
            const char* after = p + 2 + name.size();
            if (after == end || IsHtmlSpace(*after) || *after == '/' || *after == '>')
                return p;
        }
        ++p;
    }
}

// --- character references ---

using HELPERS::AppendUtf8;

struct NamedReference {
    std::uint32_t codePoint;
    bool legacy; // also recognised without the closing ";"
};

// The names of U+00A0 to U+00FF, in order; all of them are legacy names.
constexpr const char* kLatin1Names[] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
static_assert(std::size(kLatin1Names) == 0x100 - 0xA0);

// The references that occur in addresses and file names: the ASCII punctuation ones, the
// Latin-1 letters and a few typographic marks.
const std::unordered_map<std::string_view, NamedReference>& NamedReferences()
{
    static const std::unordered_map<std::string_view, NamedReference> table = [] {
        std::unordered_map<std::string_view, NamedReference> t;
        for (std::size_t i = 0; i < std::size(kLatin1Names); ++i)
            t.emplace(kLatin1Names[i], NamedReference{static_cast<std::uint32_t>(0xA0 + i), true});
        const std::pair<std::string_view, std::uint32_t> legacyAscii[] = {
            {"amp", '&'}, {"AMP", '&'},  {"lt", '<'},   {"LT", '<'},    {"gt", '>'},
            {"GT", '>'},  {"quot", '"'}, {"QUOT", '"'}, {"COPY", 0xA9}, {"REG", 0xAE}};
        for (const auto& [name, cp] : legacyAscii)
            t.emplace(name, NamedReference{cp, true});
        const std::pair<std::string_view, std::uint32_t> others[] = {
            {"Tab", '\t'},     {"NewLine", '\n'},  {"excl", '!'},     {"num", '#'},          {"dollar", '$'},
            {"percnt", '%'},   {"apos", '\''},     {"lpar", '('},     {"rpar", ')'},         {"ast", '*'},
            {"midast", '*'},   {"plus", '+'},      {"comma", ','},    {"period", '.'},       {"sol", '/'},
            {"colon", ':'},    {"semi", ';'},      {"equals", '='},   {"quest", '?'},        {"commat", '@'},
            {"lsqb", '['},     {"lbrack", '['},    {"bsol", '\\'},    {"rsqb", ']'},         {"rbrack", ']'},
            {"Hat", '^'},      {"lowbar", '_'},    {"UnderBar", '_'}, {"grave", '`'},        {"lcub", '{'},
            {"lbrace", '{'},   {"verbar", '|'},    {"vert", '|'},     {"VerticalLine", '|'}, {"rcub", '}'},
            {"rbrace", '}'},   {"hyphen", 0x2010}, {"dash", 0x2010},  {"ndash", 0x2013},     {"mdash", 0x2014},
            {"lsquo", 0x2018}, {"rsquo", 0x2019},  {"ldquo", 0x201C}, {"rdquo", 0x201D},     {"hellip", 0x2026},
            {"bull", 0x2022},  {"euro", 0x20AC},   {"trade", 0x2122}, {"OElig", 0x152},      {"oelig", 0x153},
            {"Scaron", 0x160}, {"scaron", 0x161},  {"Yuml", 0x178},   {"zwnj", 0x200C},      {"zwj", 0x200D},
            {"lrm", 0x200E},   {"rlm", 0x200F},    {"ensp", 0x2002},  {"emsp", 0x2003},      {"thinsp", 0x2009}};
        for (const auto& [name, cp] : others)
            t.emplace(name, NamedReference{cp, false});
        return t;
    }();
    return table;
}

// What the numeric references 0x80 to 0x9F stand for (windows-1252), as browsers read them.
constexpr std::uint16_t kC1Replacements[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                               0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                               0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                               0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

// Decodes the reference at s[i] == '&' into `out` and returns the bytes it took, or 0 when
// it is none and the "&" stands for itself. Attribute rules: a legacy name without ";"
// followed by "=" or a letter or digit is left as written (query strings such as
// "?a=1&copy=2").
std::size_t DecodeReference(std::string_view s, std::size_t i, std::string& out)
{
    std::size_t j = i + 1;
    if (j < s.size() && s[j] == '#') {
        ++j;
        const bool hex = j < s.size() && (s[j] == 'x' || s[j] == 'X');
        if (hex)
            ++j;
        const std::size_t digits = j;
        std::uint32_t cp = 0;
        for (; j < s.size(); ++j) {
            const char c = s[j];
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                break;
            cp = std::min<std::uint32_t>(0x110000, cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d));
        }
        if (j == digits)
            return 0;
        if (j < s.size() && s[j] == ';')
            ++j;
        if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = 0xFFFD;
        else if (cp >= 0x80 && cp <= 0x9F)
            cp = kC1Replacements[cp - 0x80];
        AppendUtf8(out, cp);
        return j - i;
    }

    std::size_t k = j;
    while (k < s.size() && k - j < 32 && IsAsciiAlnum(s[k]))
        ++k;
    if (k == j)
        return 0;
    const auto& table = NamedReferences();
    if (k < s.size() && s[k] == ';') {
        if (const auto it = table.find(s.substr(j, k - j)); it != table.end()) {
            AppendUtf8(out, it->second.codePoint);
            return k + 1 - i;
        }
    }
    // Without ";", the longest legacy name that starts the run.
    for (std::size_t n = k - j; n >= 2; --n) {
        const auto it = table.find(s.substr(j, n));
        if (it == table.end() || !it->second.legacy)
            continue;
        const std::size_t after = j + n;
        if (after < s.size() && (s[after] == '=' || IsAsciiAlnum(s[after])))
            return 0;
        AppendUtf8(out, it->second.codePoint);
        return after - i;
    }
    return 0;
}

std::string DecodeCharacterReferences(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t amp = s.find('&', i);
        out.append(s.substr(i, amp == std::string_view::npos ? std::string_view::npos : amp - i));
        if (amp == std::string_view::npos)
            break;
        const std::size_t taken = DecodeReference(s, amp, out);
        if (taken == 0) {
            out += '&';
            i = amp + 1;
        } else {
            i = amp + taken;
        }
    }
    return out;
}

} // namespace

CLinkExtractor::CLinkExtractor(std::vector<char> html, const std::string& currentURL)
{
    Reset(std::move(html), currentURL);
}

void CLinkExtractor::Reset(std::vector<char> html, const std::string& currentURL)
{
    // Whatever happens below, the previous page's links are gone.
    m_bDone = true;
    m_html.clear();
    m_cursor = 0;

    if (html.empty())
        throw std::runtime_error("Invalid html text passed into CLinkExtractor constructor");
    if (currentURL.empty())
        throw std::runtime_error("Invalid value passed into CLinkExtractor constructor for current URL");
    HttpURL pageURL = ToAbsoluteHttpURL(currentURL);

    m_html = std::move(html);
    m_currentURL = currentURL;
    m_baseURL = pageURL;
    m_pageURL = std::move(pageURL);
    m_bBaseSeen = false;
    m_cursor = 0;
    m_bDone = false;
}

LinkKind CLinkExtractor::GetNextLink(std::string& url, std::string& fileName, std::string& extension)
{
    url.clear();
    fileName.clear();
    extension.clear();
    if (m_bDone)
        return LK_NONE;
    try {
        const LinkKind kind = ScanToNextLink(url, fileName, extension);
        if (kind != LK_NONE)
            return kind;
    } catch (const std::exception&) {
        // Only memory can run out here; the links handed out so far stand.
    }
    m_bDone = true;
    url.clear();
    fileName.clear();
    extension.clear();
    return LK_NONE;
}

LinkKind CLinkExtractor::ScanToNextLink(std::string& url, std::string& fileName, std::string& extension)
{
    const char* const begin = m_html.data();
    const char* const end = begin + m_html.size();
    const char* p = begin + m_cursor;
    for (;;) {
        p = Find(p, end, '<');
        if (end - p < 2)
            return LK_NONE;
        const char next = p[1];

        if (next == '!') {
            if (end - p >= 4 && p[2] == '-' && p[3] == '-') {
                // A comment; "<!-->" and "<!--->" end at once.
                const char* body = p + 4;
                if (body < end && *body == '>') {
                    p = body + 1;
                } else if (end - body >= 2 && body[0] == '-' && body[1] == '>') {
                    p = body + 2;
                } else {
                    const char* close = Find(body, end, std::string_view("-->"));
                    if (close == end)
                        return LK_NONE;
                    p = close + 3;
                }
            } else {
                // <!DOCTYPE ...>, <![CDATA[...]>: up to the next ">".
                p = Find(p + 2, end, '>');
                if (p == end)
                    return LK_NONE;
                ++p;
            }
            continue;
        }
        if (next == '?') {
            p = Find(p + 2, end, '>');
            if (p == end)
                return LK_NONE;
            ++p;
            continue;
        }

        const bool isEndTag = next == '/';
        const char* nameStart = p + (isEndTag ? 2 : 1);
        if (nameStart == end)
            return LK_NONE;
        if (!IsAsciiAlpha(*nameStart)) {
            if (!isEndTag) {
                ++p; // a "<" that starts no tag is text
                continue;
            }
            // "</>" is dropped, "</3" and the like are comments up to ">".
            p = Find(nameStart, end, '>');
            if (p == end)
                return LK_NONE;
            ++p;
            continue;
        }

        const char* nameEnd = nameStart;
        while (nameEnd < end && !IsHtmlSpace(*nameEnd) && *nameEnd != '/' && *nameEnd != '>')
            ++nameEnd;
        const std::string_view name(nameStart, static_cast<std::size_t>(nameEnd - nameStart));
        const TagName kind = isEndTag ? TagName::Other : ClassifyTag(name);
        const std::string_view wanted = kind == TagName::Img                          ? "src"
                                        : kind == TagName::A || kind == TagName::Base ? "href"
                                                                                      : "";
        Tag tag;
        if (!ReadTag(nameEnd, end, wanted, tag))
            return LK_NONE; // the page ends inside a tag
        p = tag.end;
        if (isEndTag)
            continue;

        if (kind == TagName::RawText) {
            p = SkipRawText(p, end, name);
            continue;
        }
        if (kind == TagName::PlainText)
            return LK_NONE;
        if (!tag.hasValue || kind == TagName::Other)
            continue;

        const std::string value = DecodeCharacterReferences(tag.value);
        HttpURL resolved;
        if (kind == TagName::Base) {
            // The first base element with an href sets the base once; an unusable one
            // leaves the page's own address.
            if (!m_bBaseSeen) {
                m_bBaseSeen = true;
                if (ResolveURL(m_pageURL, value, resolved))
                    m_baseURL = std::move(resolved);
            }
            continue;
        }
        if (!ResolveURL(m_baseURL, value, resolved) || !FileNameFromURL(resolved, fileName, extension))
            continue;
        url = resolved.ToString();
        m_cursor = static_cast<std::size_t>(p - begin);
        return kind == TagName::Img ? LK_IMAGE : LK_ANCHOR;
    }
}
