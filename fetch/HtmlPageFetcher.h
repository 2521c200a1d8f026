#pragma once
// Fetches the one page whose links are harvested. Runs on the controller's worker thread;
// the client's ShouldContinue is the only way to cancel it.
#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "fetch/ConnectionSettings.h"

class IHtmlPageFetcherClient {
public:
    virtual ~IHtmlPageFetcherClient() = default;
    // Asked from the worker thread many times per second; false cancels the fetch.
    virtual bool ShouldContinue() = 0;
};

// Outcome of FetchPage. 6 is not used.
enum FetchResult : int {
    FR_OK = 0,              // body in the buffer, URL replaced by the effective URL
    FR_CANCELLED = 1,       // ShouldContinue returned false
    FR_NOT_HTML = 2,        // the server did not declare text/html
    FR_HEADERS_TOO_BIG = 3, // more header text than m_nMaxHeaderBytes
    FR_HEADER_STORE = 4,    // keeping the header text failed
    FR_TRANSFER_FAILED = 5, // libcurl error, empty body or headers, no effective URL, page too large
    FR_SETUP_FAILED = 7,    // creating or configuring the libcurl handles failed
    FR_WAIT_FAILED = 8,     // waiting on the sockets failed
};

class CHtmlPageFetcher {
public:
    // A page body past this size ends the fetch with FR_TRANSFER_FAILED rather than
    // letting a hostile or broken server exhaust memory.
    static constexpr std::size_t kMaxPageBytes = std::size_t(128) * 1024 * 1024;

    explicit CHtmlPageFetcher(IHtmlPageFetcherClient* client);
    CHtmlPageFetcher(const CHtmlPageFetcher&) = delete;
    CHtmlPageFetcher& operator=(const CHtmlPageFetcher&) = delete;

    void SetConnectionSettings(const ConnectionSettings& settings) { m_settings = settings; }
    const ConnectionSettings& GetConnectionSettings() const { return m_settings; }

    // Fetches `url` into `body`. On FR_OK `url` holds the address the page was finally
    // found at (after redirects); otherwise `url` is unchanged and `body` holds whatever
    // arrived. Throws nothing.
    FetchResult FetchPage(std::string& url, std::vector<char>& body);

    // Why the last FetchPage failed, for people ("HTTP status 404", libcurl's error text,
    // "not an HTML page (...)"); empty after success or a cancel.
    const std::string& GetFailureReason() const { return m_failureReason; }

private:
    // libcurl callbacks; `userdata` is the fetcher.
    static size_t HeaderCallback(char* data, size_t size, size_t count, void* userdata);
    static size_t BodyCallback(char* data, size_t size, size_t count, void* userdata);
    static int ProgressCallback(void* userdata, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                                curl_off_t ulnow);

    FetchResult Fail(FetchResult result, std::string reason);
    static bool IsHeaderOverflow(CURLcode code, const char* error, bool noBodyYet);
    static std::string DescribeFailure(CURL* easy, CURLcode code, const char* error);

    // True when the header text received so far declares text/html.
    bool IsHtmlContent();
    // Asks the client; a "no" becomes the cancelled result.
    bool CancelledByClient();

    int m_result = FR_OK;
    std::string m_failureReason;
    std::ostringstream m_headers;
    std::vector<char>* m_pBody = nullptr;
    IHtmlPageFetcherClient* m_pClient;
    ConnectionSettings m_settings;

    // The content-type answer only changes when header text arrives, so it is cached
    // per header length instead of searching again for every body block.
    std::size_t m_htmlCheckedLength = static_cast<std::size_t>(-1);
    bool m_bHtmlCached = false;
};
