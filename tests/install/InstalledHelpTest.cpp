// F1 in the main window opens the manual that make install put down, through the program's
// own xdg-open call. Run by run-install-test.sh after an install into a temporary prefix,
// with a recording xdg-open first on PATH; on its own it has nothing to look at and skips.
#include "app/MainLoop.h"
#include "support/Sandbox.h"
#include "ui/MainFrame.h"
#include "ui/ScriptedPrompts.h"
#include "ui/TimerManager.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

TEST(InstalledHelp, F1OpensTheInstalledManualInTheWebBrowser)
{
    const std::string configHome = Env("QUARROW_INSTALL_CONFIG_HOME");
    const std::string log = Env("QUARROW_XDG_OPEN_LOG");
    const std::string manual = Env("QUARROW_INSTALLED_MANUAL");
    if (configHome.empty() || log.empty() || manual.empty())
        GTEST_SKIP() << "run by tests/install/run-install-test.sh";
    ASSERT_TRUE(std::filesystem::is_regular_file(manual)) << manual;

    // The registry store the install wrote; options and settings in a folder of their own.
    qtest::ScopedEnv config("XDG_CONFIG_HOME", configHome);
    qtest::TempFolder data;
    qtest::ScopedEnv dataHome("XDG_DATA_HOME", data.Dir());
    qtest::TestPrompts().Reset();
    ASSERT_TRUE(CTimerManager::GetInstance()->Init());
    {
        CMainLoop loop;
        CMainFrame frame(StartupValues{});
        frame.show();
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(&frame, Qt::Key_F1);
        for (const auto& prompt : qtest::TestPrompts().Seen())
            ADD_FAILURE() << prompt.title << ": " << prompt.text;
    }
    CTimerManager::DestroyInstance();

    // xdg-open has returned by now: the program waits for its exit status.
    EXPECT_EQ(qtest::ReadFile(log), manual + "\n");
}

} // namespace
