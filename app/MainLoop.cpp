#include "app/MainLoop.h"

#include "ui/TimerManager.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

namespace {

CMainLoop* g_current = nullptr;

const QEvent::Type kQuitEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class CQuitEvent : public QEvent {
public:
    explicit CQuitEvent(int code) : QEvent(kQuitEvent), m_code(code) {}
    int m_code;
};

template <class T>
void Remove(std::vector<T*>& list, T* item)
{
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

} // namespace

CMainLoop::CMainLoop()
{
    g_current = this;
    QCoreApplication::instance()->installEventFilter(this);
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &CMainLoop::OnAboutToBlock);
}

CMainLoop::~CMainLoop()
{
    if (g_current == this)
        g_current = nullptr;
}

CMainLoop* CMainLoop::Current() { return g_current; }

void CMainLoop::AddMessageFilter(IMessageFilter* filter) { m_filters.push_back(filter); }

void CMainLoop::RemoveMessageFilter(IMessageFilter* filter) { Remove(m_filters, filter); }

void CMainLoop::AddIdleHandler(IIdleHandler* handler) { m_idleHandlers.push_back(handler); }

void CMainLoop::RemoveIdleHandler(IIdleHandler* handler) { Remove(m_idleHandlers, handler); }

int CMainLoop::Run()
{
    CTimerManager* timer = CTimerManager::GetInstance();
    m_quit = false;
    m_idling = true;
    m_idleCount = 0;
    while (!m_quit) {
        if (!timer->AllMsgTimerWait()) {
            // A tick changed what is shown: the idle handlers get their turn.
            m_idling = true;
            m_idleCount = 0;
        }
    }
    return m_exitCode;
}

void CMainLoop::PostQuit(int code) { QCoreApplication::postEvent(this, new CQuitEvent(code)); }

bool CMainLoop::PreTranslateMessage(QObject* receiver, QEvent* event)
{
    // Copied: a filter may unregister itself or another while handling the event.
    const std::vector<IMessageFilter*> filters = m_filters;
    for (auto it = filters.rbegin(); it != filters.rend(); ++it)
        if ((*it)->PreTranslateMessage(receiver, event))
            return true;
    return false;
}

bool CMainLoop::OnIdle(int)
{
    const std::vector<IIdleHandler*> handlers = m_idleHandlers;
    for (IIdleHandler* handler : handlers)
        handler->OnIdle();
    return false;
}

bool CMainLoop::IsIdleInput(const QEvent* event)
{
    // What a person or another part of the program asks for. Mouse moves, paints, timers
    // and Qt's own object housekeeping (polish, child and layout events) are not input.
    if (event->type() >= QEvent::User)
        return true;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchEnd:
    case QEvent::Drop:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::WindowStateChange:
    case QEvent::Close:
    case QEvent::Resize:
    case QEvent::InputMethod:
    case QEvent::MetaCall: return true;
    default: return false;
    }
}

bool CMainLoop::eventFilter(QObject* receiver, QEvent* event)
{
    if (IsIdleInput(event)) {
        m_idling = true;
        m_idleCount = 0;
    }
    return PreTranslateMessage(receiver, event);
}

bool CMainLoop::event(QEvent* event)
{
    if (event->type() == kQuitEvent) {
        m_quit = true;
        m_exitCode = static_cast<CQuitEvent*>(event)->m_code;
        return true;
    }
    return QObject::event(event);
}

void CMainLoop::OnAboutToBlock()
{
    while (m_idling) {
        if (!OnIdle(m_idleCount++))
            m_idling = false;
    }
}
