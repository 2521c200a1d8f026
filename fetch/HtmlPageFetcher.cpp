#include "fetch/HtmlPageFetcher.h"

#include <algorithm>
#include <string_view>

#include <boost/regex.hpp>

#include "fetch/CurlWait.h"

namespace {

const boost::regex& HtmlContentPattern()
{
    static const boost::regex re("Content-Type:\\s*(text/html)", boost::regex::perl | boost::regex::icase);
    return re;
}

// Any return value other than the block length makes libcurl abort the transfer.
size_t AbortValue(size_t len) { return len == 0 ? 1 : 0; }

// Releases the handles of one fetch in the required order: detach, multi, easy.
struct FetchHandles {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    bool added = false;
    char error[CURL_ERROR_SIZE] = {};

    FetchHandles() = default;
    FetchHandles(const FetchHandles&) = delete;
    FetchHandles& operator=(const FetchHandles&) = delete;
    ~FetchHandles()
    {
        if (added)
            curl_multi_remove_handle(multi, easy);
        if (multi)
            curl_multi_cleanup(multi);
        if (easy)
            curl_easy_cleanup(easy);
    }
};

} // namespace

CHtmlPageFetcher::CHtmlPageFetcher(IHtmlPageFetcherClient* client) : m_pClient(client) {}

FetchResult CHtmlPageFetcher::FetchPage(std::string& url, std::vector<char>& body)
{
    try {
        FetchHandles h;
        h.easy = curl_easy_init();
        if (!h.easy || curl_easy_setopt(h.easy, CURLOPT_USERAGENT, m_settings.m_userAgent.c_str()) != CURLE_OK ||
            curl_easy_setopt(h.easy, CURLOPT_FAILONERROR, 1L) != CURLE_OK ||
            curl_easy_setopt(h.easy, CURLOPT_HEADERFUNCTION, &CHtmlPageFetcher::HeaderCallback) != CURLE_OK) {
            m_result = FR_SETUP_FAILED;
            return FR_SETUP_FAILED;
        }
        curl_easy_setopt(h.easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(h.easy, CURLOPT_ERRORBUFFER, h.error);
        curl_easy_setopt(h.easy, CURLOPT_WRITEFUNCTION, &CHtmlPageFetcher::BodyCallback);
        curl_easy_setopt(h.easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(h.easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h.easy, CURLOPT_XFERINFOFUNCTION, &CHtmlPageFetcher::ProgressCallback);
        curl_easy_setopt(h.easy, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(h.easy, CURLOPT_AUTOREFERER, m_settings.m_bAutoReferer ? 1L : 0L);
        curl_easy_setopt(h.easy, CURLOPT_FOLLOWLOCATION, m_settings.m_bFollowLocation ? 1L : 0L);
        curl_easy_setopt(h.easy, CURLOPT_MAXREDIRS, static_cast<long>(m_settings.m_nMaxRedirects));
        // A web page only: neither the address nor a redirect may lead to local files or
        // other protocols.
        curl_easy_setopt(h.easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h.easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");

        if (curl_easy_setopt(h.easy, CURLOPT_URL, url.c_str()) != CURLE_OK) {
            m_result = FR_SETUP_FAILED;
            return FR_SETUP_FAILED;
        }
        h.multi = curl_multi_init();
        if (!h.multi || curl_multi_add_handle(h.multi, h.easy) != CURLM_OK) {
            m_result = FR_SETUP_FAILED;
            return FR_SETUP_FAILED;
        }
        h.added = true;

        m_result = FR_OK;
        body.clear();
        m_headers.str(std::string());
        m_headers.clear();
        m_htmlCheckedLength = static_cast<std::size_t>(-1);
        m_bHtmlCached = false;
        m_pBody = &body;

        int running = 0;
        PerformUntilSettled(h.multi, running);

        const auto slice = WaitSliceFor(m_settings.m_respFactor);
        for (;;) {
            if (running < 1) {
                bool done = false;
                bool failed = false;
                int left = 0;
                while (CURLMsg* msg = curl_multi_info_read(h.multi, &left)) {
                    if (msg->msg != CURLMSG_DONE)
                        continue;
                    done = true;
                    if (msg->data.result != CURLE_OK)
                        failed = true;
                }
                if (failed) {
                    // libcurl keeps at most 300 KiB of response headers itself; going past
                    // that is the same fault as going past our own limit.
                    if (m_result == FR_OK)
                        m_result = std::string_view(h.error).starts_with("Too large response headers")
                                       ? FR_HEADERS_TOO_BIG
                                       : FR_TRANSFER_FAILED;
                    break;
                }
                if (m_result != FR_OK)
                    break;
                char* effective = nullptr;
                if (!done || body.empty() || m_headers.view().empty() ||
                    curl_easy_getinfo(h.easy, CURLINFO_EFFECTIVE_URL, &effective) != CURLE_OK || !effective) {
                    m_result = FR_TRANSFER_FAILED;
                    break;
                }
                url = effective;
                break;
            }
            const CurlPassResult pass =
                WaitAndPerform(h.multi, slice, [this] { return m_pClient->ShouldContinue(); }, running);
            if (pass == CPR_CANCELLED) {
                m_result = FR_CANCELLED;
                break;
            }
            if (pass != CPR_CONTINUE) {
                m_result = FR_WAIT_FAILED;
                break;
            }
        }
    } catch (...) {
        if (m_result == FR_OK)
            m_result = FR_TRANSFER_FAILED;
    }
    m_pBody = nullptr;
    return static_cast<FetchResult>(m_result);
}

bool CHtmlPageFetcher::CancelledByClient()
{
    if (m_pClient->ShouldContinue())
        return false;
    m_result = FR_CANCELLED;
    return true;
}

size_t CHtmlPageFetcher::HeaderCallback(char* data, size_t size, size_t count, void* userdata)
{
    auto* self = static_cast<CHtmlPageFetcher*>(userdata);
    const size_t len = size * count;
    try {
        if (self->CancelledByClient())
            return AbortValue(len);
        const size_t limit = static_cast<size_t>(std::max(self->m_settings.m_nMaxHeaderBytes, 0));
        if (self->m_headers.view().size() + len + 1 > limit) {
            self->m_result = FR_HEADERS_TOO_BIG;
            return AbortValue(len);
        }
        self->m_headers.write(data, static_cast<std::streamsize>(len));
        if (!self->m_headers) {
            self->m_result = FR_HEADER_STORE;
            return AbortValue(len);
        }
    } catch (...) {
    }
    return len;
}

size_t CHtmlPageFetcher::BodyCallback(char* data, size_t size, size_t count, void* userdata)
{
    auto* self = static_cast<CHtmlPageFetcher*>(userdata);
    const size_t len = size * count;
    try {
        if (self->CancelledByClient())
            return AbortValue(len);
        if (!self->IsHtmlContent()) {
            self->m_result = FR_NOT_HTML;
            return AbortValue(len);
        }
    } catch (...) {
        return AbortValue(len);
    }
    try {
        if (self->m_pBody->size() + len > kMaxPageBytes) {
            self->m_result = FR_TRANSFER_FAILED;
            return AbortValue(len);
        }
        self->m_pBody->insert(self->m_pBody->end(), data, data + len);
        return len;
    } catch (...) {
        return AbortValue(len);
    }
}

int CHtmlPageFetcher::ProgressCallback(void* userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* self = static_cast<CHtmlPageFetcher*>(userdata);
    try {
        return self->CancelledByClient() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

bool CHtmlPageFetcher::IsHtmlContent()
{
    const std::string_view text = m_headers.view();
    if (text.size() == m_htmlCheckedLength)
        return m_bHtmlCached;
    boost::cmatch m;
    const bool html = boost::regex_search(text.data(), text.data() + text.size(), m, HtmlContentPattern()) &&
                      m[1].matched && m.str(1) == "text/html";
    m_htmlCheckedLength = text.size();
    m_bHtmlCached = html;
    return html;
}
