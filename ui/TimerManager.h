#pragma once
// The refresh timer that paces polling while a job runs: one one-shot timer watched by the
// main loop's wait. It is re-armed only after the client's tick, so ticks never pile up,
// and an idle program has no timer at all, so it never wakes.
#include <cstdint>
#include <memory>

class IRefreshTimerCallbackClient;
class QTimer;

class CTimerManager {
public:
    // The process-wide instance, created on first call.
    static CTimerManager* GetInstance();
    // Stops and frees the instance (if any).
    static void DestroyInstance();

    // Creates the timer if there is none; returns whether there is one.
    bool Init();
    void SetClient(IRefreshTimerCallbackClient* client) { m_client = client; }
    // Arms the timer once, periodMs from now. False without a timer.
    bool Start(int periodMs);
    // Disarms the timer. False without a timer.
    bool Stop();

    // Waits until input arrives or the timer fires and handles what came: true when input
    // was dispatched, false when a tick was handled. A tick that fell due inside a nested
    // loop (a modal box) is handled by the next wait, never inside that loop. Throws
    // std::runtime_error without a timer.
    bool AllMsgTimerWait();

    bool IsStopped() const { return m_stopped; }
    // Relative due time in 100-nanosecond units, negative; 0 before the first Start.
    std::int64_t GetDueTime() const { return m_dueTime; }
    // Whether the timer is armed in the event dispatcher right now.
    bool IsArmed() const;

    ~CTimerManager();

private:
    CTimerManager() = default;
    void OnTimeout();
    void HandleTick();

    std::unique_ptr<QTimer> m_timer;
    IRefreshTimerCallbackClient* m_client = nullptr;
    std::int64_t m_dueTime = 0;
    bool m_stopped = true;
    bool m_waiting = false;
    bool m_fired = false;
    bool m_tickPending = false;
};
