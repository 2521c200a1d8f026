#include "engine/DownloadFilter.h"

#include "helpers/AsciiText.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/regex.hpp>

#include <stdexcept>
#include <vector>

namespace {

// Compiled once and shared; a function-local static is safe on a first use from two threads.
const boost::regex& WellFormedPattern()
{
    static const boost::regex re(R"(^\*\.[A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]+$)", boost::regex::perl);
    return re;
}

// Replaces `target` only when every '|'-separated piece is well formed, so a bad list
// leaves the previous set in place. Empty pieces are kept and therefore refused.
void ParseExtensionList(const std::string& list, std::set<std::string>& target)
{
    std::vector<std::string> pieces;
    boost::algorithm::split(pieces, list, boost::algorithm::is_any_of("|"), boost::algorithm::token_compress_off);
    std::set<std::string> parsed;
    for (const std::string& piece : pieces) {
        if (!CDownloadFilter::IsWellFormedPattern(piece))
            throw std::runtime_error("Bad \"contains\" string");
        parsed.insert(HELPERS::ToLowerAscii(piece));
    }
    target.swap(parsed);
}

} // namespace

bool CDownloadFilter::IsWellFormedPattern(const std::string& text)
{
    return boost::regex_match(text, WellFormedPattern());
}

void CDownloadFilter::SetIncludeExtensions(const std::string& list)
{
    try {
        ParseExtensionList(list, m_includeExts);
    } catch (const std::runtime_error&) {
        throw DFException("Bad include extension string");
    }
}

void CDownloadFilter::SetExcludeExtensions(const std::string& list)
{
    try {
        ParseExtensionList(list, m_excludeExts);
    } catch (const std::runtime_error&) {
        throw DFException("Bad exclude extension string");
    }
}

void CDownloadFilter::SetIncludeExtensionSet(const std::set<std::string>& patterns)
{
    m_includeExts.clear();
    for (const std::string& pattern : patterns)
        m_includeExts.insert(HELPERS::ToLowerAscii(pattern));
}

void CDownloadFilter::SetMinFileSize(std::int64_t bytes)
{
    if (bytes < 0)
        throw DFException("Bad min file size");
    m_nMinFileSize = bytes;
}

void CDownloadFilter::SetMaxFileSize(std::int64_t bytes)
{
    if (bytes < 0)
        throw DFException("Bad max file size");
    m_nMaxFileSize = bytes;
}

bool CDownloadFilter::IsExtensionAllowed(const std::string& pattern) const
{
    if (!IsWellFormedPattern(pattern))
        throw DFException("Bad extension string");
    // Both sides in lower case: IMG_1.JPG is a *.jpg file, and a type stored as *.JPG
    // still means *.jpg.
    const std::string folded = HELPERS::ToLowerAscii(pattern);
    if (m_bUseInclude && m_includeExts.count(folded) == 0)
        return false;
    return !m_bUseExclude || m_excludeExts.count(folded) == 0;
}

bool CDownloadFilter::IsSizeAllowed(std::int64_t bytes) const
{
    return m_nMinFileSize <= bytes && bytes <= m_nMaxFileSize;
}
