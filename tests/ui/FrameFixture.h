#pragma once
// The main window in a sandbox of its own: options and settings files in a private data
// home, downloads into a private folder, the real main loop and refresh timer, and the
// in-process HTTP server serving the pages.
#include "ScriptedPrompts.h"
#include "app/MainLoop.h"
#include "config/ConfigOptions.h"
#include "config/PersistSettings.h"
#include "support/Sandbox.h"
#include "support/TestHttpServer.h"
#include "ui/DownloadItemsModel.h"
#include "ui/MainFrame.h"
#include "ui/MirefoldView.h"
#include "ui/TimerManager.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qtest {

class FrameTest : public ::testing::Test {
protected:
    FrameTest()
        : m_dataHome("XDG_DATA_HOME", m_home.Dir() + "data"), m_configHome("XDG_CONFIG_HOME", m_home.Dir() + "config")
    {}

    void SetUp() override
    {
        TestPrompts().Reset();
        ASSERT_TRUE(CTimerManager::GetInstance()->Init());
        WriteOptions([](ConfigOptions&) {});
    }

    void TearDown() override
    {
        m_frame.reset();
        CTimerManager::DestroyInstance();
    }

    // The options file the frame starts with: defaults, the private download folder, the
    // fastest refresh, and whatever `change` adds.
    void WriteOptions(const std::function<void(ConfigOptions&)>& change)
    {
        ConfigOptions options;
        options.SetDefaults();
        options.m_downloadFolder = m_downloads.Dir();
        options.m_dvRefreshRate = LEVEL_HIGH;
        change(options);
        options.m_bModified = true;
        options.Save(nullptr);
    }

    static std::string OptionsPath() { return AppFolder() + ConfigOptions::kFileName; }
    static std::string SettingsPath() { return AppFolder() + PersistSettings::kFileName; }
    static std::string AppFolder()
    {
        HELPERS::WinDirectory folder;
        GetAppDataFolder(folder);
        return folder.GetPath();
    }

    CMainFrame& Open(StartupValues values = {})
    {
        m_frame = std::make_unique<CMainFrame>(values);
        m_frame->SetShellOpen([this](const std::string& target) { m_opened.push_back(target); });
        m_frame->show();
        return *m_frame;
    }

    // Runs the main loop until `pred` holds, the frame ends the loop, or `timeout` passes.
    // Returns what the loop ended with: 0 when this helper stopped it.
    int RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (pred() || std::chrono::steady_clock::now() > deadline) {
                poll.stop();
                m_loop.PostQuit(0);
            }
        });
        poll.start();
        return m_loop.Run();
    }

    bool RunUntilReady()
    {
        RunUntil([this] { return m_frame->JobState() == FJS_READY; });
        return m_frame->JobState() == FJS_READY;
    }

    // File name to status of every row of the list.
    std::map<std::string, DownloadItemStatus> Statuses() const
    {
        std::map<std::string, DownloadItemStatus> out;
        for (const DownloadItemPtr& item : m_frame->View()->ItemsModel()->Rows())
            out[item->GetFileName()] = item->GetStatus();
        return out;
    }

    // A page linking a picture, a second picture and a file that is not there.
    void ServeGallery(const std::string& page = "/gallery.html")
    {
        m_server.AddFile(page, "<html><body><img src=\"a.png\"><a href=\"b.jpg\">b</a>"
                               "<a href=\"gone.gif\">gone</a></body></html>");
        m_server.AddFile("/a.png", std::string(3000, 'a'), "image/png");
        m_server.AddFile("/b.jpg", std::string(5000, 'b'), "image/jpeg");
        m_server.AddStatus("/gone.gif", 404);
    }

    TempFolder m_home;
    ScopedEnv m_dataHome;
    ScopedEnv m_configHome;
    TempFolder m_downloads;
    TestHttpServer m_server;
    CMainLoop m_loop;
    std::unique_ptr<CMainFrame> m_frame;
    std::vector<std::string> m_opened;
};

} // namespace qtest
