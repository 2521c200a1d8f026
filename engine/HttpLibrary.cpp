#include "engine/HttpLibrary.h"

#include <curl/curl.h>
#include <mutex>

namespace {
std::mutex g_lock;
bool g_initialised = false; // what the callers asked for
bool g_globalUp = false;    // what libcurl has
int g_users = 0;
} // namespace

bool InitHttpLibrary()
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_initialised)
        return true;
    // A cleanup still waiting for a job to finish is simply called off.
    if (!g_globalUp) {
        if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK)
            return false;
        g_globalUp = true;
    }
    g_initialised = true;
    return true;
}

void CleanupHttpLibrary()
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_initialised)
        return;
    g_initialised = false;
    if (g_users == 0 && g_globalUp) {
        curl_global_cleanup();
        g_globalUp = false;
    }
}

CHttpLibraryUse::CHttpLibraryUse()
{
    std::lock_guard<std::mutex> lock(g_lock);
    // A job started without InitHttpLibrary still gets a working libcurl; it is released
    // with the job unless someone initialises meanwhile.
    if (!g_globalUp && curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK)
        g_globalUp = true;
    ++g_users;
}

CHttpLibraryUse::~CHttpLibraryUse()
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (--g_users == 0 && !g_initialised && g_globalUp) {
        curl_global_cleanup();
        g_globalUp = false;
    }
}

bool IsHttpLibraryUp()
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_globalUp;
}

int HttpLibraryUsers()
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_users;
}
