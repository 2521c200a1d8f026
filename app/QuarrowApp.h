#pragma once
// The program's entry: start-up, the main loop and shut-down, in that order.
#include "app/CommandLine.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Creates the main window for the start-up values; null when it cannot be created.
using MainWindowFactory = std::function<std::unique_ptr<QWidget>(const StartupValues&)>;

// Returns the process exit code: 99 after the usage box, -1 without a refresh timer, 0 when
// the main window could not be created, else what the main loop ended with (1 normally).
int RunQuarrow(int argc, char** argv);

// The same inside an existing QApplication, with the arguments after the program name.
int StartQuarrow(const std::vector<std::string>& args, const MainWindowFactory& createMainWindow);

// The main loop part of the start-up: loop, refresh timer, main window, then the reverse.
int RunMainLoop(const StartupValues& values, const MainWindowFactory& createMainWindow);
