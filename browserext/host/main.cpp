// quarrow-browser-host: started by the browser for the Quarrow extension, it hands the
// page address to the desktop program. --register / --unregister install and remove the
// manifests through which the browsers find it.
#include "browserext/host/BrowserHost.h"
#include "browserext/host/HostRegistration.h"
#include "browserext/host/ProgramLauncher.h"

#include <boost/program_options.hpp>

#include <climits>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace po = boost::program_options;

namespace {

std::string OwnPath()
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

} // namespace

int main(int argc, char** argv)
{
    po::options_description options("quarrow-browser-host [--register | --unregister]");
    options.add_options()("register", "write the host manifests for Chromium, Google Chrome and Firefox")(
        "unregister", "remove them")("help,h", "show this text");
    po::variables_map vm;
    try {
        // The browsers start the host with their own arguments (the calling extension's
        // origin or id, the manifest's path); those are left unread.
        po::store(po::command_line_parser(argc, argv).options(options).allow_unregistered().run(), vm);
    } catch (const po::error& e) {
        std::cerr << "quarrow-browser-host: " << e.what() << '\n';
        return 64;
    }

    if (vm.count("help")) {
        std::cout << options;
        return 0;
    }
    if (vm.count("register") || vm.count("unregister")) {
        std::string error;
        const bool ok = vm.count("register") ? RegisterHost(OwnPath(), error) : UnregisterHost(error);
        if (!ok)
            std::cerr << "quarrow-browser-host: " << error << '\n';
        return ok ? 0 : 1;
    }

    // The browser closing its end of the pipe must end the host quietly, not by a signal.
    std::signal(SIGPIPE, SIG_IGN);
    IgnoreChildExits();
    return ServeBrowser(STDIN_FILENO, STDOUT_FILENO);
}
