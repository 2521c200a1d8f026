#pragma once
// The dry run: fetch the page and name every link that would become a download item, by
// the controller's own acceptance rule.
#include "config/ConfigOptions.h"
#include "fetch/HtmlPageFetcher.h"
#include "fetch/LinkKind.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ListedLink {
    std::int32_t id = 0;
    LinkKind kind = LK_NONE;
    std::string url;
    std::string fileName;
};

struct ListResult {
    FetchResult fetch = FR_OK;
    std::string pageURL; // the effective address after redirects
    std::string error;   // set when the page could not be read for links
    std::string reason;  // why the fetch failed, when it did
    std::vector<ListedLink> links;
};

// Fetches `url` with the options' user agent and responsiveness and lists its accepted
// links in item order. `keepGoing` is asked while the page arrives; false cancels.
// Needs InitHttpLibrary.
ListResult ListPageLinks(const std::string& url, const ConfigOptions& options, std::function<bool()> keepGoing);

// "0\timage\thttp://host/a.jpg\ta.jpg\n" for each link.
std::string FormatLinkList(const std::vector<ListedLink>& links);
