#include "engine/HttpLibrary.h"

#include <curl/curl.h>
#include <mutex>

namespace {
std::mutex g_lock;
int g_users = 0;
} // namespace

bool InitHttpLibrary()
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_users == 0 && curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK)
        return false;
    ++g_users;
    return true;
}

void ReleaseHttpLibrary()
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_users > 0 && --g_users == 0)
        curl_global_cleanup();
}
