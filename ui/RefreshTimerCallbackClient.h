#pragma once

// The one client of the refresh timer (the main window): called on the user-interface
// thread from inside the main loop's wait.
class IRefreshTimerCallbackClient {
public:
    virtual ~IRefreshTimerCallbackClient() = default;
    virtual void OnRefreshTimer() = 0;
    // The timer re-arms itself after a tick only while this holds.
    virtual bool IsRefreshNeeded() = 0;
};
