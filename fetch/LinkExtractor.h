#pragma once
// Turns the HTML of a fetched page into a stream of absolute file addresses: img sources
// and a hrefs, in document order, one per call, so that downloads can start while the
// rest of the page is still unread. The page is read as a browser's tokenizer reads it
// (attributes in any order, character references, comments, scripts and styles), in one
// forward pass whose cost is linear in the page size whatever the page holds.
#include <cstddef>
#include <string>
#include <vector>

#include "fetch/LinkKind.h"
#include "fetch/UrlResolution.h"

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

    // The next usable link: LK_IMAGE or LK_ANCHOR with `url` absolute (without fragment),
    // `fileName` the name to save it under (FileNameFromURL) and `extension` the text after
    // its last dot (may be empty). LK_NONE once the page holds no further usable link; the
    // three strings are then empty. Links that cannot be resolved are skipped. Never throws.
    LinkKind GetNextLink(std::string& url, std::string& fileName, std::string& extension);

private:
    LinkKind ScanToNextLink(std::string& url, std::string& fileName, std::string& extension);

    std::vector<char> m_html; // the page bytes, not zero-terminated
    std::size_t m_cursor = 0; // where the next scan starts: always outside any tag
    bool m_bDone = true;
    bool m_bBaseSeen = false; // only the first <base href> counts
    std::string m_currentURL;
    HttpURL m_pageURL; // the page's effective address
    HttpURL m_baseURL; // what links resolve against: the page or its <base href>
};
