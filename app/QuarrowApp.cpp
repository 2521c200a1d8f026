#include "app/QuarrowApp.h"

#include "app/MainLoop.h"
#include "engine/HttpLibrary.h"
#include "ui/FileIconCache.h"
#include "ui/MainFrame.h"
#include "ui/TimerManager.h"

#include <QApplication>
#include <QIcon>

int RunMainLoop(const StartupValues& values, const MainWindowFactory& createMainWindow)
{
    CMainLoop loop;
    CTimerManager* timer = CTimerManager::GetInstance();
    if (!timer || !timer->Init())
        return -1;
    std::unique_ptr<QWidget> window = createMainWindow(values);
    if (!window) {
        CTimerManager::DestroyInstance();
        return 0;
    }
    window->show();
    const int result = loop.Run();
    CTimerManager::DestroyInstance();
    window.reset();
    return result;
}

int StartQuarrow(const std::vector<std::string>& args, const MainWindowFactory& createMainWindow)
{
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quarrow.svg")));
    CFileIconCache::SetUpIconTheme();
    StartupValues values;
    if (!ParseCommandLine(args, values))
        return 99;
    InitHttpLibrary(); // a failure shows when a page is requested
    const int result = RunMainLoop(values, createMainWindow);
    CFileIconCache::Release();
    CleanupHttpLibrary();
    return result;
}

int RunQuarrow(int argc, char** argv)
{
    QApplication app(argc, argv);
    return StartQuarrow(std::vector<std::string>(argv + 1, argv + argc), [](const StartupValues& values) {
        return std::unique_ptr<QWidget>(std::make_unique<CMainFrame>(values));
    });
}
