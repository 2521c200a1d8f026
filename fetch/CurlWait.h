#pragma once
// The socket wait shared by the page fetcher and the transfer engine: never block longer
// than one slice, so that a cancel request is seen promptly.
#include <chrono>

#include <curl/curl.h>

// The wait slice chosen by ConnectionSettings::m_respFactor (0: 90 ms, 1: 50 ms,
// 2: 10 ms); any other value gets the default 10 ms.
std::chrono::milliseconds WaitSliceFor(int respFactor);

// Calls curl_multi_perform until it stops asking to be called again; `running` receives
// the number of transfers still running.
CURLMcode PerformUntilSettled(CURLM* multi, int& running);

enum CurlWaitResult {
    CWR_ACTIVITY = 0,       // a socket is ready
    CWR_TIMEOUT = 1,        // the slice (or a libcurl timer) passed without activity
    CWR_SOCKETS_FAILED = 2, // libcurl could not report its sockets
    CWR_WAIT_FAILED = 3,    // the wait itself failed
};

// Waits on the multi handle's sockets for at most `slice`. With no sockets at all the
// whole slice still passes, so callers never spin.
CurlWaitResult WaitOnCurlSockets(CURLM* multi, std::chrono::milliseconds slice);

enum CurlPassResult {
    CPR_CONTINUE = 0,  // performed; look at the running count and go on
    CPR_CANCELLED = 1, // shouldContinue said no at a time-out
    CPR_SOCKETS_FAILED = 2,
    CPR_WAIT_FAILED = 3,
};

// One pass of a transfer loop: wait for at most `slice`; on activity perform; on a
// time-out ask `shouldContinue` first and, if allowed, perform too so that libcurl's own
// timers (connect fallbacks, resolver) keep running while no socket is busy.
template <typename ShouldContinue>
CurlPassResult WaitAndPerform(CURLM* multi, std::chrono::milliseconds slice, ShouldContinue&& shouldContinue,
                              int& running)
{
    switch (WaitOnCurlSockets(multi, slice)) {
    case CWR_SOCKETS_FAILED: return CPR_SOCKETS_FAILED;
    case CWR_WAIT_FAILED: return CPR_WAIT_FAILED;
    case CWR_TIMEOUT:
        if (!shouldContinue())
            return CPR_CANCELLED;
        break;
    case CWR_ACTIVITY: break;
    }
    PerformUntilSettled(multi, running);
    return CPR_CONTINUE;
}
