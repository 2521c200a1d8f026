#pragma once
// The rule that turns a page link into a download item: it must have an extension, the
// filter must allow that extension, and its address must be new in this job. Ids count
// accepted links from 0.
#include "engine/DownloadFilter.h"
#include "engine/DownloadItem.h"

#include <cstdint>
#include <set>
#include <string>

class CLinkAcceptor {
public:
    // Starts a new job: no address seen, next id 0.
    void Reset();

    // The new queued item for an accepted link, or null. Throws DFException for an
    // extension the filter cannot read as a pattern.
    DownloadItemPtr Accept(const CDownloadFilter& filter, const std::string& url, const std::string& fileName,
                           const std::string& extension, LinkKind kind);

private:
    std::set<std::string> m_seen;
    std::int32_t m_nextItemId = 0;
};
