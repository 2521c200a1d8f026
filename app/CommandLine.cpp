#include "app/CommandLine.h"

#include "ui/Prompts.h"

#include <boost/program_options.hpp>

#include <sstream>

namespace po = boost::program_options;

namespace {

po::options_description OptionTable()
{
    po::options_description table("Allowed options");
    table.add_options()("help,h", "Display help")("url", po::value<std::string>(), "Startup URL to navigate to")(
        "show-options-dlg,o", "Show options dlg on startup");
    return table;
}

} // namespace

std::string CommandLineUsage()
{
    std::ostringstream text;
    text << OptionTable();
    return text.str();
}

bool ParseCommandLine(const std::vector<std::string>& args, StartupValues& values)
{
    try {
        const po::options_description table = OptionTable();
        po::variables_map vm;
        po::store(po::command_line_parser(args).options(table).run(), vm);
        po::notify(vm);

        if (vm.count("help")) {
            // Preformatted: the formatter lines its columns up with blanks.
            const QString usage = QString::fromStdString(CommandLineUsage()).toHtmlEscaped();
            Prompts().ShowInformation(nullptr, "<pre>" + usage + "</pre>", "Quarrow Usage");
            return false;
        }
        if (vm.count("url"))
            values.StartupURL = vm["url"].as<std::string>();
        if (vm.count("show-options-dlg"))
            values.ShowOptionsDlgOnStartup = true;
    } catch (const std::exception&) {
        // A malformed line is ignored as a whole, a valid --url with it too.
        values = StartupValues();
        values.CommandLineFailed = true;
    }
    return true;
}
