#include "ScriptedPrompts.h"
#include "support/Sandbox.h"
#include "app/MainLoop.h"
#include "app/QuarrowApp.h"
#include "engine/HttpLibrary.h"
#include "ui/FileIconCache.h"
#include "ui/TimerManager.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QStyle>
#include <QTimer>
#include <gtest/gtest.h>

namespace qtest {
namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { TestPrompts().Reset(); }

    // A main window that records the start-up values and, once the loop runs, closes the
    // program the way the main window does when it is destroyed.
    MainWindowFactory Recording(bool create = true)
    {
        return [this, create](const StartupValues& values) -> std::unique_ptr<QWidget> {
            m_created = true;
            m_values = values;
            m_timerReady = CTimerManager::GetInstance() && CTimerManager::GetInstance()->IsStopped();
            if (!create)
                return nullptr;
            QTimer::singleShot(0, [] { CMainLoop::Current()->PostQuit(1); });
            return std::make_unique<QWidget>();
        };
    }

    bool m_created = false;
    bool m_timerReady = false;
    StartupValues m_values;
};

TEST_F(StartupTest, HelpShowsTheUsageAndExits99WithoutAWindow)
{
    EXPECT_EQ(StartQuarrow({"-h"}, Recording()), 99);
    EXPECT_FALSE(m_created);
    ASSERT_EQ(TestPrompts().Seen().size(), 1u);
    EXPECT_EQ(TestPrompts().Seen()[0].title, "Quarrow Usage");
}

TEST_F(StartupTest, AMalformedLineStartsWithAnEmptyAddress)
{
    EXPECT_EQ(StartQuarrow({"--url", "http://a.example/", "--frobnicate"}, Recording()), 1);
    EXPECT_TRUE(m_created);
    EXPECT_TRUE(m_values.CommandLineFailed);
    EXPECT_EQ(m_values.StartupURL, "");
    EXPECT_TRUE(TestPrompts().Seen().empty());
}

TEST_F(StartupTest, NormalRunHandsTheValuesOverAndEndsWithTheLoopsCode)
{
    EXPECT_EQ(StartQuarrow({"-o", "--url", "http://a.example/"}, Recording()), 1);
    EXPECT_TRUE(m_timerReady) << "the refresh timer exists before the window";
    EXPECT_EQ(m_values.StartupURL, "http://a.example/");
    EXPECT_TRUE(m_values.ShowOptionsDlgOnStartup);
    EXPECT_EQ(QApplication::windowIcon().pixmap(32).toImage(),
              QIcon(QStringLiteral(":/icons/quarrow.svg")).pixmap(32).toImage())
        << "the program's own icon on every window";
    EXPECT_FALSE(IsHttpLibraryUp()) << "released at exit";
    EXPECT_EQ(CMainLoop::Current(), nullptr);
}

// The main window asks the style for pictures (the status bar's folder) before the list
// looks up its first file-type icon; that must not settle the icon theme without its
// fallback, or every file shows the plain page.
TEST_F(StartupTest, FileIconsComeFromTheThemeWhateverTheWindowAskedFirst)
{
    // As a session without a desktop has it: the system's file types and icon folder, and
    // the bare hicolor theme (the sandbox and the offscreen platform name none of them).
    const ScopedEnv dataDirs("XDG_DATA_DIRS", "/usr/share");
    QIcon::setThemeSearchPaths({QStringLiteral("/usr/share/icons")});
    QIcon::setThemeName(QStringLiteral("hicolor"));
    QString iconName;
    StartQuarrow({}, [&](const StartupValues&) -> std::unique_ptr<QWidget> {
        auto window = std::make_unique<QWidget>();
        window->style()->standardIcon(QStyle::SP_DirIcon);
        iconName = CFileIconCache::GetInstance()->IconFor("picture.png").name();
        QTimer::singleShot(0, [] { CMainLoop::Current()->PostQuit(1); });
        return window;
    });
    EXPECT_TRUE(iconName.startsWith("image-")) << iconName.toStdString();
}

TEST_F(StartupTest, NoMainWindowExitsWith0)
{
    EXPECT_EQ(StartQuarrow({}, Recording(false)), 0);
    EXPECT_TRUE(m_created);
}

} // namespace
} // namespace qtest
