// One QApplication for the whole GUI test run, on the offscreen platform, with the scripted
// prompts installed before any test can raise a box. The sandboxed main of tests/support
// runs first, so Qt sees the private HOME and XDG folders.
#include "ScriptedPrompts.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <memory>

namespace {

class CGuiTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        SetPrompts(&qtest::TestPrompts());
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override
    {
        m_app.reset();
        SetPrompts(nullptr);
    }

private:
    int m_argc = 1;
    char m_name[16] = "ui_test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new CGuiTestEnvironment);

} // namespace
