#include "fetch/HtmlPageFetcher.h"

#include <algorithm>
#include <string_view>

#include <boost/regex.hpp>

#include "fetch/CurlHandles.h"
#include "fetch/CurlWait.h"

namespace {

const boost::regex& HtmlContentPattern()
{
    static const boost::regex re("Content-Type:\\s*(text/html)", boost::regex::perl | boost::regex::icase);
    return re;
}

// Any return value other than the block length makes libcurl abort the transfer.
size_t AbortValue(size_t len) { return len == 0 ? 1 : 0; }

} // namespace

CHtmlPageFetcher::CHtmlPageFetcher(IHtmlPageFetcherClient* client) : m_pClient(client) {}

FetchResult CHtmlPageFetcher::FetchPage(std::string& url, std::vector<char>& body)
{
    m_failureReason.clear();
    try {
        // Declared in this order so that the transfer leaves the multi handle before either
        // goes, and the error buffer outlives the handle that writes to it.
        char error[CURL_ERROR_SIZE] = {};
        CurlMultiPtr multi;
        CCurlTransfer transfer(MakeEasyHandle(m_settings, url));
        CURL* easy = transfer.get();
        if (!easy || curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CHtmlPageFetcher::HeaderCallback) != CURLE_OK ||
            curl_easy_setopt(easy, CURLOPT_HEADERDATA, this) != CURLE_OK ||
            curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error) != CURLE_OK ||
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CHtmlPageFetcher::BodyCallback) != CURLE_OK ||
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, this) != CURLE_OK ||
            curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L) != CURLE_OK ||
            curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CHtmlPageFetcher::ProgressCallback) != CURLE_OK ||
            curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this) != CURLE_OK) {
            return Fail(FR_SETUP_FAILED, "the request could not be set up");
        }
        multi.reset(curl_multi_init());
        if (!multi || !transfer.Attach(multi.get()))
            return Fail(FR_SETUP_FAILED, "the request could not be set up");

        m_result = FR_OK;
        body.clear();
        m_headers.str(std::string());
        m_headers.clear();
        m_htmlCheckedLength = static_cast<std::size_t>(-1);
        m_bHtmlCached = false;
        m_pBody = &body;

        int running = 0;
        PerformUntilSettled(multi.get(), running);

        const auto slice = WaitSliceFor(m_settings.m_respFactor);
        for (;;) {
            if (running < 1) {
                bool done = false;
                CURLcode failure = CURLE_OK;
                int left = 0;
                while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left)) {
                    if (msg->msg != CURLMSG_DONE)
                        continue;
                    done = true;
                    if (msg->data.result != CURLE_OK)
                        failure = msg->data.result;
                }
                if (failure != CURLE_OK) {
                    if (m_result == FR_OK)
                        m_result =
                            IsHeaderOverflow(failure, error, body.empty()) ? FR_HEADERS_TOO_BIG : FR_TRANSFER_FAILED;
                    if (m_result == FR_NOT_HTML) {
                        char* type = nullptr;
                        curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &type);
                        m_failureReason =
                            std::string("not an HTML page (Content-Type: ") + (type && *type ? type : "none") + ")";
                    } else if (m_failureReason.empty()) {
                        m_failureReason = DescribeFailure(easy, failure, error);
                    }
                    break;
                }
                if (m_result != FR_OK)
                    break;
                char* effective = nullptr;
                if (!done || m_headers.view().empty() ||
                    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) != CURLE_OK || !effective) {
                    Fail(FR_TRANSFER_FAILED, "the server sent no answer");
                    break;
                }
                if (body.empty()) {
                    Fail(FR_TRANSFER_FAILED, "the page is empty");
                    break;
                }
                url = effective;
                break;
            }
            const CurlPassResult pass = WaitAndPerform(
                multi.get(), slice, [this] { return m_pClient->ShouldContinue(); }, running);
            if (pass == CPR_CANCELLED) {
                m_result = FR_CANCELLED;
                break;
            }
            if (pass != CPR_CONTINUE) {
                Fail(FR_WAIT_FAILED, "waiting for the server failed");
                break;
            }
        }
    } catch (...) {
        if (m_result == FR_OK)
            Fail(FR_TRANSFER_FAILED, "unexpected error while fetching the page");
    }
    if (m_result == FR_CANCELLED)
        m_failureReason.clear();
    m_pBody = nullptr;
    return static_cast<FetchResult>(m_result);
}

FetchResult CHtmlPageFetcher::Fail(FetchResult result, std::string reason)
{
    m_result = result;
    m_failureReason = std::move(reason);
    return result;
}

bool CHtmlPageFetcher::IsHeaderOverflow(CURLcode code, const char* error, bool noBodyYet)
{
    // libcurl keeps at most 300 KiB of response headers, and at most 100 KiB in one line;
    // going past either is the same fault as going past our own limit.
    const std::string_view text(error);
    return text.starts_with("Too large response headers") || text.starts_with("Avoided giant realloc for header") ||
           (code == CURLE_OUT_OF_MEMORY && noBodyYet);
}

std::string CHtmlPageFetcher::DescribeFailure(CURL* easy, CURLcode code, const char* error)
{
    if (code == CURLE_HTTP_RETURNED_ERROR) {
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        return "HTTP status " + std::to_string(status);
    }
    return *error ? std::string(error) : std::string(curl_easy_strerror(code));
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
            self->Fail(FR_HEADERS_TOO_BIG, "the response headers are larger than " + std::to_string(limit) + " bytes");
            return AbortValue(len);
        }
        self->m_headers.write(data, static_cast<std::streamsize>(len));
        if (!self->m_headers) {
            self->Fail(FR_HEADER_STORE, "the response headers could not be kept");
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
            self->Fail(FR_TRANSFER_FAILED, "the page is larger than 128 MiB");
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
