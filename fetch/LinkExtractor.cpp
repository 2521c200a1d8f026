#include "fetch/LinkExtractor.h"

#include <cstring>
#include <exception>
#include <stdexcept>
#include <utility>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/algorithm/string/trim.hpp>
#include <boost/regex.hpp>

#include "fetch/UrlResolution.h"

namespace {

// Groups 3, 4, 5: double-quoted, single-quoted, unquoted img src; 8, 9, 10: the same for
// a href. Nothing but blanks, letters, digits, quotes, "=" and parentheses may stand
// between "<img" and "src", and href must be the first attribute of an a tag.
const boost::regex& LinkPattern()
{
    static const boost::regex re(
        R"re((<img[\sA-Za-z\d"=()']+?src\s*=\s*("([^">]*)"|'([^'>]*)'|([^\\'"> ]+)).*?>)|(<a\s+href\s*=\s*("([^"]*)".*?|'([^']*)'.*?|([^'"> ]+).*?)>))re",
        boost::regex::perl | boost::regex::icase);
    return re;
}

// Any other "scheme://" address (ftp, upper-case HTTP, ...): such links are not harvested.
const boost::regex& SchemePattern()
{
    static const boost::regex re(R"re(([A-Za-z]{1}[A-Za-z_0-9\-]+://[^\s"]+).*)re", boost::regex::perl);
    return re;
}

constexpr int kValueGroups[] = {3, 4, 5, 8, 9, 10};

// Bytes that could stand for the ASCII letter `lower` in a case-blind match: the letter in
// either case, or any non-ASCII byte (whose case mapping depends on the locale).
bool MayBe(char c, char lower)
{
    return c == lower || c == lower - ('a' - 'A') || static_cast<unsigned char>(c) >= 0x80;
}

bool IsAsciiAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The first position in [from, end) where the link pattern could start: "<img", or "<a"
// followed by something that may be a blank. Starting the search there gives the same
// leftmost match as starting at `from`, without trying the whole pattern at every other
// "<" of the page.
const char* NextCandidate(const char* from, const char* end)
{
    for (const char* p = from; end - p >= 3; ++p) {
        p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
        if (!p || end - p < 3)
            return end;
        if (MayBe(p[1], 'a') && !IsAsciiAlnum(p[2]))
            return p;
        if (MayBe(p[1], 'i') && end - p >= 4 && MayBe(p[2], 'm') && MayBe(p[3], 'g'))
            return p;
    }
    return end;
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
    m_cursor = m_end = 0;

    if (html.empty())
        throw std::runtime_error("Invalid html text passed into CLinkExtractor constructor");
    if (currentURL.empty())
        throw std::runtime_error("Invalid value passed into CLinkExtractor constructor for current URL");
    std::string baseURL = GetBaseURL(currentURL);
    std::string rootURL = GetRootURL(currentURL);

    m_html = std::move(html);
    m_currentURL = currentURL;
    m_baseURL = std::move(baseURL);
    m_rootURL = std::move(rootURL);
    m_pageScheme = boost::algorithm::starts_with(m_rootURL, "https:") ? "https:" : "http:";
    m_cursor = 0;
    m_end = m_html.size();
    m_bFirstSearch = true;
    m_bDone = false;
}

LinkKind CLinkExtractor::GetNextLink(std::string& url, std::string& fileName, std::string& extension)
{
    url.clear();
    fileName.clear();
    extension.clear();
    if (m_bDone)
        return LK_NONE;

    // Later searches start mid-text: what lies before the cursor is context, not the
    // beginning of the input.
    const auto flags = m_bFirstSearch ? boost::match_default : (boost::match_prev_avail | boost::match_not_bob);
    m_bFirstSearch = false;

    const char* const text = m_html.data();
    boost::cmatch m;
    for (;;) {
        bool found = false;
        try {
            const char* start = NextCandidate(text + m_cursor, text + m_end);
            if (start != text + m_end) {
                const auto startFlags =
                    start == text + m_cursor ? flags : (boost::match_prev_avail | boost::match_not_bob);
                found = boost::regex_search(start, text + m_end, m, LinkPattern(), startFlags);
            }
        } catch (...) {
            m_bDone = true; // a page the matcher cannot cope with ends here
            throw;
        }
        if (!found) {
            m_bDone = true;
            url.clear();
            fileName.clear();
            extension.clear();
            return LK_NONE;
        }
        const std::size_t matchEnd = static_cast<std::size_t>(m[0].second - text);

        int group = 0;
        int taking = 0;
        for (int g : kValueGroups) {
            if (m[g].matched) {
                group = g;
                ++taking;
            }
        }
        if (taking != 1) {
            m_cursor = matchEnd;
            continue;
        }

        std::string value = boost::algorithm::trim_copy(m.str(group));
        // An absolute address loses its scheme here and gets it back below, so that it
        // goes through the same checks as a network-path link.
        std::string scheme = m_pageScheme;
        // Both tests need "://"; most links are relative and skip them.
        const bool hasScheme = value.find("://") != std::string::npos;
        if (hasScheme && IsAbsoluteHttpURL(value)) {
            const std::size_t colon = value.find(':');
            scheme = value.substr(0, colon + 1);
            value.erase(0, colon + 1);
        } else if (hasScheme && boost::regex_match(value, SchemePattern())) {
            m_cursor = matchEnd;
            continue;
        }

        bool usable = true;
        try {
            const int type = GetRelativeURLType(value, fileName, extension);
            switch (type) {
            case 1:
                CombineBaseURLAndRelativeFileURL(m_baseURL, value, url);
                break;
            case 2:
                CombineBaseURLAndRelativeFileURL(m_rootURL, value, url);
                break;
            case 3:
                url = scheme + value;
                break;
            case 4:
            case 5: {
                std::string rest;
                std::string base = m_baseURL;
                const int count = StripCSOrBTFromRelativeFileURL(value, rest, type == 4 ? ".." : ".");
                ApplyBacktrackToBaseURL(m_baseURL, base, count);
                CombineBaseURLAndRelativeFileURL(base, rest, url);
                break;
            }
            default:
                usable = false;
                break;
            }
        } catch (const std::exception&) {
            usable = false;
        }
        if (!usable) {
            m_cursor = matchEnd;
            continue;
        }

        m_cursor = static_cast<std::size_t>(m[group].second - text);
        return group <= 5 ? LK_IMAGE : LK_ANCHOR;
    }
}
