#include "app/MainLoop.h"
#include "ui/RefreshTimerCallbackClient.h"
#include "ui/TimerManager.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Counts ticks and asks for `ticksWanted` of them.
class CCountingClient : public IRefreshTimerCallbackClient {
public:
    explicit CCountingClient(int ticksWanted) : m_wanted(ticksWanted) {}
    void OnRefreshTimer() override { ++m_ticks; }
    bool IsRefreshNeeded() override { return m_ticks < m_wanted; }
    int m_ticks = 0;
    int m_wanted;
};

class TimerManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CTimerManager::DestroyInstance();
        m_timer = CTimerManager::GetInstance();
    }
    void TearDown() override { CTimerManager::DestroyInstance(); }

    // Waits until a tick was handled; a guard input ends a wait that would hang.
    int WaitsUntilTick(int maxWaits = 50)
    {
        for (int i = 1; i <= maxWaits; ++i) {
            QTimer guard;
            guard.setSingleShot(true);
            guard.start(2000);
            if (!m_timer->AllMsgTimerWait())
                return i;
        }
        return -1;
    }

    CTimerManager* m_timer = nullptr;
};

TEST_F(TimerManagerTest, WithoutTimerWaitThrowsAndStartStopRefuse)
{
    ASSERT_NE(m_timer, nullptr);
    EXPECT_EQ(m_timer, CTimerManager::GetInstance());
    EXPECT_FALSE(m_timer->Start(350));
    EXPECT_FALSE(m_timer->Stop());
    EXPECT_EQ(m_timer->GetDueTime(), 0);
    EXPECT_TRUE(m_timer->IsStopped());
    try {
        m_timer->AllMsgTimerWait();
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Timer manager not initialized (in AllMsgTimerWait");
    }
}

TEST_F(TimerManagerTest, RearmsAfterEachTickOnlyWhileRefreshIsNeeded)
{
    CCountingClient client(3);
    ASSERT_TRUE(m_timer->Init());
    EXPECT_TRUE(m_timer->Init());
    m_timer->SetClient(&client);
    ASSERT_TRUE(m_timer->Start(10));
    EXPECT_EQ(m_timer->GetDueTime(), -100000);
    EXPECT_FALSE(m_timer->IsStopped());

    for (int tick = 1; tick <= 3; ++tick) {
        ASSERT_GT(WaitsUntilTick(), 0) << "tick " << tick;
        EXPECT_EQ(client.m_ticks, tick);
        EXPECT_EQ(m_timer->IsArmed(), tick < 3);
        EXPECT_EQ(m_timer->IsStopped(), tick == 3);
    }
    // Stopped for good: the next wait ends only by input.
    QTimer input;
    input.setSingleShot(true);
    input.start(80);
    EXPECT_TRUE(m_timer->AllMsgTimerWait());
    EXPECT_EQ(client.m_ticks, 3);

    // A new Start arms it again.
    client.m_wanted = 4;
    ASSERT_TRUE(m_timer->Start(10));
    ASSERT_GT(WaitsUntilTick(), 0);
    EXPECT_EQ(client.m_ticks, 4);
}

TEST_F(TimerManagerTest, InputEndsTheWaitAndTheTimerKeepsItsDueTime)
{
    CCountingClient client(100);
    ASSERT_TRUE(m_timer->Init());
    m_timer->SetClient(&client);
    ASSERT_TRUE(m_timer->Start(60000));
    QWidget target;
    QCoreApplication::postEvent(&target, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
    EXPECT_TRUE(m_timer->AllMsgTimerWait());
    EXPECT_EQ(client.m_ticks, 0);
    EXPECT_TRUE(m_timer->IsArmed());
    EXPECT_TRUE(m_timer->Stop());
    EXPECT_FALSE(m_timer->IsArmed());
    EXPECT_TRUE(m_timer->IsStopped());
}

TEST_F(TimerManagerTest, TickDueInsideANestedLoopWaitsForTheMainWait)
{
    CCountingClient client(1);
    ASSERT_TRUE(m_timer->Init());
    m_timer->SetClient(&client);
    ASSERT_TRUE(m_timer->Start(1));
    // A modal box's loop, say: the timer falls due there, but the client is not called.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    while (std::chrono::steady_clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(client.m_ticks, 0);
    EXPECT_FALSE(m_timer->AllMsgTimerWait());
    EXPECT_EQ(client.m_ticks, 1);
}

TEST_F(TimerManagerTest, DestroyInstanceForgetsTheInstance)
{
    ASSERT_TRUE(m_timer->Init());
    ASSERT_TRUE(m_timer->Start(60000));
    CTimerManager::DestroyInstance();
    CTimerManager* fresh = CTimerManager::GetInstance();
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(fresh->IsArmed());
    EXPECT_THROW(fresh->AllMsgTimerWait(), std::runtime_error);
}

// Records the order in which filters and idle handlers are called.
class CRecorder : public IMessageFilter, public IIdleHandler {
public:
    CRecorder(std::vector<std::string>& log, std::string name, bool claims = false)
        : m_log(log), m_name(std::move(name)), m_claims(claims)
    {}
    bool PreTranslateMessage(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            m_log.push_back("filter " + m_name);
        return m_claims && event->type() == QEvent::KeyPress;
    }
    bool OnIdle() override
    {
        m_log.push_back("idle " + m_name);
        return true;
    }

private:
    std::vector<std::string>& m_log;
    std::string m_name;
    bool m_claims;
};

// Delivers key presses it is sent; counts them.
class CKeyTarget : public QWidget {
public:
    int m_keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++m_keys; }
};

class MainLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CTimerManager::DestroyInstance();
        ASSERT_TRUE(CTimerManager::GetInstance()->Init());
    }
    void TearDown() override { CTimerManager::DestroyInstance(); }

    // Two waits of the loop: the first dispatches what is waiting, the second runs the
    // idle handlers if that made them due, just before it would block. A short guard timer
    // (an idle-neutral event) ends each wait.
    void Pump()
    {
        for (int i = 0; i < 2; ++i) {
            QTimer guard;
            guard.setSingleShot(true);
            guard.start(1);
            CTimerManager::GetInstance()->AllMsgTimerWait();
        }
    }

    void Post(QWidget& target, QEvent* event) { QCoreApplication::postEvent(&target, event); }

    std::vector<std::string> m_log;
};

TEST_F(MainLoopTest, FiltersAreAskedLastRegisteredFirstUntilOneClaims)
{
    CMainLoop loop;
    EXPECT_EQ(CMainLoop::Current(), &loop);
    CRecorder first(m_log, "first"), second(m_log, "second", true), third(m_log, "third");
    loop.AddMessageFilter(&first);
    loop.AddMessageFilter(&second);
    loop.AddMessageFilter(&third);
    CKeyTarget target;
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &key);
    EXPECT_EQ(m_log, (std::vector<std::string>{"filter third", "filter second"}));
    EXPECT_EQ(target.m_keys, 0) << "a claimed event is not delivered";

    loop.RemoveMessageFilter(&second);
    m_log.clear();
    QCoreApplication::sendEvent(&target, &key);
    EXPECT_EQ(m_log, (std::vector<std::string>{"filter third", "filter first"}));
    EXPECT_EQ(target.m_keys, 1);
}

TEST_F(MainLoopTest, IdleHandlersRunOnceAfterABurstOfInputButNotAfterMouseMoves)
{
    CMainLoop loop;
    CRecorder a(m_log, "a"), b(m_log, "b");
    loop.AddIdleHandler(&a);
    loop.AddIdleHandler(&b);
    CKeyTarget target;

    Pump(); // whatever start-up left over
    m_log.clear();
    EXPECT_FALSE(loop.IsIdling());

    // A burst of three keys: one idle pass, handlers in registration order.
    for (int i = 0; i < 3; ++i)
        Post(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
    Pump();
    EXPECT_EQ(m_log, (std::vector<std::string>{"idle a", "idle b"}));
    EXPECT_EQ(target.m_keys, 3);

    // Mouse moves and paints do not wake them.
    m_log.clear();
    Post(target,
         new QMouseEvent(QEvent::MouseMove, QPointF(3, 3), QPointF(3, 3), Qt::NoButton, Qt::NoButton, Qt::NoModifier));
    Post(target, new QEvent(QEvent::UpdateRequest));
    Pump();
    EXPECT_TRUE(m_log.empty());
    EXPECT_FALSE(loop.IsIdling());

    // A refresh tick does.
    class CClient : public IRefreshTimerCallbackClient {
        void OnRefreshTimer() override {}
        bool IsRefreshNeeded() override { return false; }
    } client;
    CTimerManager::GetInstance()->SetClient(&client);
    CTimerManager::GetInstance()->Start(1);
    QTimer::singleShot(30, &loop, [&loop] { loop.PostQuit(0); });
    m_log.clear();
    EXPECT_EQ(loop.Run(), 0);
    EXPECT_GE(std::count(m_log.begin(), m_log.end(), "idle a"), 1);
}

TEST_F(MainLoopTest, RunReturnsTheQuitCode)
{
    CMainLoop loop;
    QTimer::singleShot(0, &loop, [&loop] { loop.PostQuit(1); });
    EXPECT_EQ(loop.Run(), 1);
    QTimer::singleShot(5, &loop, [&loop] { loop.PostQuit(42); });
    EXPECT_EQ(loop.Run(), 42);
}

} // namespace
