#pragma once
#include "helpers/AsciiText.h"

#include <string>
#include <string_view>

// HTTP settings shared by the page fetcher and the transfer engine. The controller keeps
// one copy and hands it to both fetchers before each job.
struct ConnectionSettings {
    int m_nMaxHeaderBytes = 1048576; // total response header text kept for one fetch
    int m_respFactor = 2;            // wait slice: 0 = 90 ms, 1 = 50 ms, 2 = 10 ms
    bool m_bAutoReferer = true;      // CURLOPT_AUTOREFERER
    bool m_bFollowLocation = true;   // CURLOPT_FOLLOWLOCATION
    int m_nMaxRedirects = 10;        // CURLOPT_MAXREDIRS
    std::string m_userAgent = "Mozilla Firefox";
};

inline constexpr const char* kDefaultUserAgent = "Mozilla Firefox";

// A user agent may go onto the wire only without control characters: a line break in it
// would add request headers.
inline bool IsSendableUserAgent(std::string_view agent) { return !HELPERS::HasAsciiControl(agent); }

// The agent itself when sendable, the default otherwise.
inline std::string SafeUserAgent(const std::string& agent)
{
    return IsSendableUserAgent(agent) ? agent : std::string(kDefaultUserAgent);
}
