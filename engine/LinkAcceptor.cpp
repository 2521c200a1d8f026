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
    // Types are stored in lower case (the types editor lowers what the user types), so
    // IMG_1.JPG is asked about as *.jpg; the file keeps its name as written.
    std::string pattern = "*.";
    for (char c : extension)
        pattern += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (!filter.IsExtensionAllowed(pattern))
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
