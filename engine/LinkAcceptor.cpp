#include "engine/LinkAcceptor.h"

void CLinkAcceptor::Reset()
{
    m_seen.clear();
    m_nextItemId = 0;
}

DownloadItemPtr CLinkAcceptor::Accept(const CDownloadFilter& filter, const std::string& url,
                                      const std::string& fileName, const std::string& extension, LinkKind kind)
{
    if (extension.empty())
        return nullptr;
    // The filter folds letter case; the file keeps its name as written.
    if (!filter.IsExtensionAllowed("*." + extension))
        return nullptr;
    if (!m_seen.insert(url).second)
        return nullptr;

    auto item = std::make_shared<CDownloadItem>();
    item->SetFileName(fileName);
    item->SetLinkKind(kind);
    item->SetURL(url);
    item->SetId(m_nextItemId++);
    return item;
}
