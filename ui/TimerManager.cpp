#include "ui/TimerManager.h"

#include "ui/RefreshTimerCallbackClient.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTimer>

#include <stdexcept>

namespace {
CTimerManager* g_instance = nullptr;
}

CTimerManager* CTimerManager::GetInstance()
{
    if (!g_instance)
        g_instance = new (std::nothrow) CTimerManager();
    return g_instance;
}

void CTimerManager::DestroyInstance()
{
    if (!g_instance)
        return;
    if (g_instance->m_timer) {
        g_instance->m_stopped = true;
        g_instance->m_timer->stop();
    }
    delete g_instance;
    g_instance = nullptr;
}

CTimerManager::~CTimerManager() = default;

bool CTimerManager::Init()
{
    if (!m_timer) {
        m_timer = std::make_unique<QTimer>();
        m_timer->setSingleShot(true);
        m_timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_timer.get(), &QTimer::timeout, [this] { OnTimeout(); });
    }
    return m_timer != nullptr;
}

bool CTimerManager::Start(int periodMs)
{
    if (!m_timer)
        return false;
    m_dueTime = static_cast<std::int64_t>(periodMs) * -10000;
    m_tickPending = false;
    m_timer->start(periodMs);
    m_stopped = false;
    return m_timer->isActive();
}

bool CTimerManager::Stop()
{
    if (!m_timer)
        return false;
    m_stopped = true;
    m_tickPending = false;
    m_fired = false;
    m_timer->stop();
    return true;
}

bool CTimerManager::IsArmed() const { return m_timer && m_timer->isActive(); }

void CTimerManager::OnTimeout()
{
    if (m_waiting)
        m_fired = true;
    else
        m_tickPending = true;
}

bool CTimerManager::AllMsgTimerWait()
{
    if (!m_timer)
        throw std::runtime_error("Timer manager not initialized (in AllMsgTimerWait");
    if (!m_tickPending) {
        m_fired = false;
        m_waiting = true;
        QAbstractEventDispatcher::instance()->processEvents(QEventLoop::WaitForMoreEvents);
        m_waiting = false;
        if (!m_fired)
            return true;
    }
    m_tickPending = false;
    m_fired = false;
    HandleTick();
    return false;
}

void CTimerManager::HandleTick()
{
    if (!m_client)
        return;
    m_client->OnRefreshTimer();
    // The tick may have let the client go (the main window destroyed itself).
    if (m_client && m_client->IsRefreshNeeded() && m_dueTime != 0) {
        m_timer->start(static_cast<int>(-m_dueTime / 10000));
        m_stopped = false;
    } else {
        m_stopped = true;
    }
}
