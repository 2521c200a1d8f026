#pragma once
// The program's main loop over Qt's event dispatcher. It sleeps in the refresh timer's
// AllMsgTimerWait, offers every event to the registered message filters (last registered
// first), and runs the idle handlers once after each burst of input (keys, buttons,
// focus, posted calls; not mouse moves, paints or timers) and after every refresh tick,
// when the dispatcher is about to block.
#include "app/IdleHandler.h"
#include "app/MessageFilter.h"

#include <QObject>

#include <vector>

class QEvent;

class CMainLoop : public QObject {
    Q_OBJECT
public:
    CMainLoop();
    ~CMainLoop() override;

    // The loop of the user-interface thread, or null while none exists.
    static CMainLoop* Current();

    void AddMessageFilter(IMessageFilter* filter);
    void RemoveMessageFilter(IMessageFilter* filter);
    void AddIdleHandler(IIdleHandler* handler);
    void RemoveIdleHandler(IIdleHandler* handler);

    // Runs until PostQuit; returns the code it was given. Needs an initialised refresh timer.
    int Run();
    // Ends Run with `code` once the events before it have been handled.
    void PostQuit(int code);

    // True when some filter claims the event (last registered asked first).
    bool PreTranslateMessage(QObject* receiver, QEvent* event);
    // Calls every idle handler in registration order; always false, so they run once.
    bool OnIdle(int count);

    // Whether the idle handlers are due at the next moment the loop would block.
    bool IsIdling() const { return m_idling; }

    // Events after which the idle handlers run again.
    static bool IsIdleInput(const QEvent* event);

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void OnAboutToBlock();

    std::vector<IMessageFilter*> m_filters;
    std::vector<IIdleHandler*> m_idleHandlers;
    bool m_idling = true;
    int m_idleCount = 0;
    bool m_quit = false;
    int m_exitCode = 0;
};
