// quarrow-gallery-server: serves a sample gallery on 127.0.0.1 until SIGINT or SIGTERM.
//   quarrow-gallery-server [--gallery demo|large|small] [--port N] [--delay-ms N]
//                          [--rate BYTES_PER_SECOND] [--port-file FILE] [--urls-file FILE]
#include "demo/Gallery.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: quarrow-gallery-server [--gallery demo|large|small] [--port N] [--delay-ms N]\n"
                 "                              [--rate BYTES_PER_SECOND] [--port-file FILE] [--urls-file FILE]\n");
    return 64;
}

} // namespace

int main(int argc, char** argv)
{
    std::string which = "demo", portFile, urlsFile;
    gallery::ServerOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string v = argv[++i];
        if (a == "--gallery")
            which = v;
        else if (a == "--port")
            options.port = std::atoi(v.c_str());
        else if (a == "--delay-ms")
            options.delayMs = static_cast<unsigned>(std::strtoul(v.c_str(), nullptr, 10));
        else if (a == "--rate")
            options.bytesPerSecond = std::strtoull(v.c_str(), nullptr, 10);
        else if (a == "--port-file")
            portFile = v;
        else if (a == "--urls-file")
            urlsFile = v;
        else
            return Usage();
    }

    gallery::Gallery g;
    if (which == "demo")
        g = gallery::MakeDemoGallery();
    else if (which == "large")
        g = gallery::MakeBenchGallery("large", 200, 20 * 1024, 400 * 1024, 1);
    else if (which == "small")
        g = gallery::MakeBenchGallery("small", 1000, 5 * 1024, 5 * 1024, 2);
    else
        return Usage();

    // Blocked before the server's threads start, so that only sigwait below sees them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    gallery::Server server(std::move(g), options);
    if (!server.Start()) {
        std::fprintf(stderr, "quarrow-gallery-server: cannot listen on %s:%d\n", options.host.c_str(), options.port);
        return 1;
    }
    if (!urlsFile.empty())
        std::ofstream(urlsFile) << server.WantedUrlList();
    if (!portFile.empty()) {
        // Written last and renamed into place, so a reader never sees half a number.
        const std::string tmp = portFile + ".tmp";
        std::ofstream(tmp) << server.Port() << "\n";
        std::rename(tmp.c_str(), portFile.c_str());
    }
    std::printf("Serving %s\n", server.PageUrl().c_str());
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stop, &sig);
    server.Stop();
    return 0;
}
