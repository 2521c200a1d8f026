#include "fetch/CurlHandles.h"

#include "fetch/ConnectionSettings.h"

CurlEasyPtr MakeEasyHandle(const ConnectionSettings& settings, const std::string& url)
{
    CurlEasyPtr easy(curl_easy_init());
    if (!easy)
        return nullptr;
    CURL* h = easy.get();
    const std::string agent = SafeUserAgent(settings.m_userAgent);
    const bool ok = curl_easy_setopt(h, CURLOPT_USERAGENT, agent.c_str()) == CURLE_OK &&
                    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L) == CURLE_OK &&
                    curl_easy_setopt(h, CURLOPT_AUTOREFERER, settings.m_bAutoReferer ? 1L : 0L) == CURLE_OK &&
                    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, settings.m_bFollowLocation ? 1L : 0L) == CURLE_OK &&
                    curl_easy_setopt(h, CURLOPT_MAXREDIRS, static_cast<long>(settings.m_nMaxRedirects)) == CURLE_OK &&
                    // Web addresses only: neither a link nor a redirect may lead to local files or
                    // other protocols.
                    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
                    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
                    curl_easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK;
    return ok ? std::move(easy) : nullptr;
}

bool CCurlTransfer::Attach(CURLM* multi)
{
    Detach();
    if (!m_easy || curl_multi_add_handle(multi, m_easy.get()) != CURLM_OK)
        return false;
    m_multi = multi;
    return true;
}

void CCurlTransfer::Detach()
{
    if (m_multi && m_easy)
        curl_multi_remove_handle(m_multi, m_easy.get());
    m_multi = nullptr;
}
