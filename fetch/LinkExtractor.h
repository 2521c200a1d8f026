#pragma once
// Turns the HTML of a fetched page into a stream of absolute file addresses: img sources
// and a hrefs, in document order, one per call, so that downloads can start while the
// rest of the page is still unread.
#include <cstddef>
#include <string>
#include <vector>

#include "fetch/LinkKind.h"

class CLinkExtractor {
public:
    // No page yet: GetNextLink yields LK_NONE until Reset.
    CLinkExtractor() = default;
    // Throws std::runtime_error for an empty page, an empty address, or an address that
    // is not an absolute http or https address.
    CLinkExtractor(std::vector<char> html, const std::string& currentURL);

    // Starts over on another page, in place; same checks as the constructor. After a
    // failed reset the extractor yields no links.
    void Reset(std::vector<char> html, const std::string& currentURL);

    // The next usable link: LK_IMAGE or LK_ANCHOR with `url` absolute, `fileName` the last
    // path component as written in the page and `extension` the text after its last dot
    // (may be empty). LK_NONE once the page holds no further usable link; the three
    // strings are then empty. Links that cannot be resolved are skipped.
    LinkKind GetNextLink(std::string& url, std::string& fileName, std::string& extension);

private:
    std::vector<char> m_html;   // the page bytes, not zero-terminated
    std::size_t m_cursor = 0;   // where the next search starts
    std::size_t m_end = 0;
    bool m_bFirstSearch = true;
    bool m_bDone = true;
    std::string m_currentURL;
    std::string m_baseURL;      // the page's directory, ending in "/"
    std::string m_rootURL;      // scheme://host/
    std::string m_pageScheme;   // "http:" or "https:", for network-path links
};
