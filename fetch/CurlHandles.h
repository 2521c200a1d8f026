#pragma once
// Owners for libcurl handles, and the one place where an easy handle gets its connection
// settings, so that the page fetch and the file transfers cannot drift apart.
#include "fetch/ConnectionSettings.h"

#include <curl/curl.h>

#include <memory>
#include <string>

struct CurlEasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlMultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using CurlEasyPtr = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlMultiPtr = std::unique_ptr<CURLM, CurlMultiDeleter>;

// A new easy handle for `url` with the settings' user agent, referer and redirect options,
// failing on HTTP error statuses, and limited to http and https, redirects included. Null
// when libcurl refuses any of it. Callbacks are the caller's.
CurlEasyPtr MakeEasyHandle(const ConnectionSettings& settings, const std::string& url);

// An easy handle that may be added to a multi handle; it leaves the multi handle before it
// is cleaned up. The multi handle must outlive it.
class CCurlTransfer {
public:
    CCurlTransfer() = default;
    explicit CCurlTransfer(CurlEasyPtr easy) : m_easy(std::move(easy)) {}
    ~CCurlTransfer() { Detach(); }
    CCurlTransfer(const CCurlTransfer&) = delete;
    CCurlTransfer& operator=(const CCurlTransfer&) = delete;

    void Reset(CurlEasyPtr easy)
    {
        Detach();
        m_easy = std::move(easy);
    }
    CURL* get() const { return m_easy.get(); }
    explicit operator bool() const { return m_easy != nullptr; }
    bool Attach(CURLM* multi);
    void Detach();

private:
    CurlEasyPtr m_easy;
    CURLM* m_multi = nullptr;
};
