#include "fetch/CurlWait.h"

std::chrono::milliseconds WaitSliceFor(int respFactor)
{
    switch (respFactor) {
    case 0: return std::chrono::milliseconds(90);
    case 1: return std::chrono::milliseconds(50);
    default: return std::chrono::milliseconds(10);
    }
}

CURLMcode PerformUntilSettled(CURLM* multi, int& running)
{
    CURLMcode rc;
    do {
        rc = curl_multi_perform(multi, &running);
    } while (rc == CURLM_CALL_MULTI_PERFORM);
    return rc;
}

CurlWaitResult WaitOnCurlSockets(CURLM* multi, std::chrono::milliseconds slice)
{
    // curl_multi_poll has no FD_SETSIZE limit and, unlike curl_multi_wait, sleeps the
    // whole slice when libcurl has no socket to offer.
    int ready = 0;
    const CURLMcode rc = curl_multi_poll(multi, nullptr, 0, static_cast<int>(slice.count()), &ready);
    if (rc == CURLM_UNRECOVERABLE_POLL)
        return CWR_WAIT_FAILED;
    if (rc != CURLM_OK)
        return CWR_SOCKETS_FAILED;
    return ready > 0 ? CWR_ACTIVITY : CWR_TIMEOUT;
}
