#include "app/QuarrowApp.h"

#include "app/CommandLine.h"
#include "engine/HttpLibrary.h"

#include <QApplication>
#include <QWidget>

int RunQuarrow(int argc, char** argv)
{
    QApplication app(argc, argv);
    StartupValues values;
    if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), values))
        return 99;
    InitHttpLibrary();
    QWidget window;
    window.setWindowTitle("Quarrow");
    window.show();
    const int result = app.exec();
    CleanupHttpLibrary();
    return result;
}
