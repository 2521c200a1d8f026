#pragma once
// The command line of quarrow: --help/-h, --url <address>, --show-options-dlg/-o.
#include <string>
#include <vector>

// What the command line asks of the program; read by the main window when it is created.
struct StartupValues {
    std::string StartupURL;
    bool ShowOptionsDlgOnStartup = false;
    // Parsing failed: the program starts as if no address had been given.
    bool CommandLineFailed = false;
};

// The option table's usage text ("Allowed options:" and one line per option).
std::string CommandLineUsage();

// Parses the arguments (without the program name). Returns false when the program is to
// stop at once because the usage box was shown; true otherwise, also after a parse error,
// which is swallowed and only recorded in `values.CommandLineFailed`.
bool ParseCommandLine(const std::vector<std::string>& args, StartupValues& values);
