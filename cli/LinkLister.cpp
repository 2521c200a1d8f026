#include "cli/LinkLister.h"

#include "engine/LinkAcceptor.h"
#include "engine/Ombrex.h"
#include "fetch/LinkExtractor.h"

#include <exception>
#include <utility>

namespace {

class FetchClient : public IHtmlPageFetcherClient {
public:
    explicit FetchClient(std::function<bool()> keepGoing) : m_keepGoing(std::move(keepGoing)) {}
    bool ShouldContinue() override { return !m_keepGoing || m_keepGoing(); }

private:
    std::function<bool()> m_keepGoing;
};

} // namespace

ListResult ListPageLinks(const std::string& url, const ConfigOptions& options, std::function<bool()> keepGoing)
{
    ListResult result;
    FetchClient client(std::move(keepGoing));
    CHtmlPageFetcher fetcher(&client);
    // The same connection settings a job would use: defaults plus the options' two fields.
    ConnectionSettings settings;
    settings.m_userAgent = options.m_userAgent;
    settings.m_respFactor = options.m_respFactor;
    fetcher.SetConnectionSettings(settings);

    std::string pageURL = url;
    std::vector<char> page;
    result.fetch = fetcher.FetchPage(pageURL, page);
    result.reason = fetcher.GetFailureReason();
    result.pageURL = pageURL;
    if (result.fetch != FR_OK)
        return result;

    try {
        const CDownloadFilter filter = BuildDownloadFilter(options);
        CLinkExtractor extractor(std::move(page), pageURL);
        CLinkAcceptor acceptor;
        std::string link, fileName, extension;
        for (;;) {
            const LinkKind kind = extractor.GetNextLink(link, fileName, extension);
            if (kind == LK_NONE)
                break;
            if (DownloadItemPtr item = acceptor.Accept(filter, link, fileName, extension, kind))
                result.links.push_back({item->GetId(), item->GetLinkKind(), item->GetURL(), item->GetFileName()});
        }
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

std::string FormatLinkList(const std::vector<ListedLink>& links)
{
    std::string out;
    for (const ListedLink& link : links) {
        out += std::to_string(link.id);
        out += '\t';
        out += link.kind == LK_IMAGE ? "image" : "anchor";
        out += '\t';
        out += link.url;
        out += '\t';
        out += link.fileName;
        out += '\n';
    }
    return out;
}
