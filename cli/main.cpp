// quarrow-cli: harvests the files one web page links to, from a terminal or a script.
#include "cli/CliOptions.h"
#include "cli/HarvestJob.h"
#include "cli/JobViews.h"
#include "cli/LinkLister.h"
#include "engine/HttpLibrary.h"
#include "engine/Ombrex.h"
#include "helpers/WException.h"
#include "helpers/version/Version.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

// The first Ctrl-C asks the job to cancel (the main loop sees the count); the second one
// leaves at once.
extern "C" void OnInterrupt(int)
{
    if (g_interrupts.fetch_add(1) >= 1)
        ::_exit(CLI_EXIT_CANCELLED);
}

void InstallInterruptHandler()
{
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    // A closed terminal (SIGHUP) or Ctrl-\ (SIGQUIT) must not leave temporary files
    // behind either: they cancel like Ctrl-C.
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        ::sigaction(sig, &sa, nullptr);
    // Output piped into a reader that quits early must not kill the job midway and
    // leave temporary files behind; the writes just fail.
    ::signal(SIGPIPE, SIG_IGN);
}

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "quarrow-cli: %s\nTry 'quarrow-cli --help' for more information.\n", message.c_str());
    return kExitUsage;
}

int ListLinks(const CliOptions& cli, const ConfigOptions& options)
{
    InitHttpLibrary();
    const ListResult result = ListPageLinks(cli.url, options, [] { return g_interrupts.load() == 0; });
    CleanupHttpLibrary();
    if (result.fetch == FR_CANCELLED) {
        std::fprintf(stderr, "quarrow-cli: Cancelled\n");
        return CLI_EXIT_CANCELLED;
    }
    if (result.fetch != FR_OK) {
        std::fprintf(stderr, "quarrow-cli: %s\n",
                     FailureText("Could not retrieve requested URL", result.reason).c_str());
        return CLI_EXIT_JOB_FAILED;
    }
    if (!result.error.empty()) {
        std::fprintf(stderr, "quarrow-cli: %s\n", result.error.c_str());
        return CLI_EXIT_JOB_FAILED;
    }
    const std::string text = FormatLinkList(result.links);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? CLI_EXIT_DONE : CLI_EXIT_JOB_FAILED;
}

} // namespace

int main(int argc, char** argv)
{
    CliOptions cli;
    try {
        cli = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const CliUsageError& e) {
        return UsageError(e.what());
    }
    if (cli.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (cli.version) {
        std::printf("quarrow-cli %s\n", QuarrowVersion());
        return 0;
    }

    // The desktop program's options, read only: the CLI never writes them.
    ConfigOptions options;
    try {
        options.Restore(nullptr);
    } catch (const HELPERS::WException& e) {
        std::fprintf(stderr, "quarrow-cli: Could not load configuration options!  Using defaults.\nError is: %s\n",
                     e.what());
        options = ConfigOptions();
        options.SetDefaults();
    }
    try {
        ApplyToConfig(cli, options);
    } catch (const CliUsageError& e) {
        return UsageError(e.what());
    }

    InstallInterruptHandler();
    if (cli.list)
        return ListLinks(cli, options);

    const ViewKind kind = cli.json                                  ? ViewKind::Json
                          : (cli.quiet || !::isatty(STDOUT_FILENO)) ? ViewKind::Lines
                                                                    : ViewKind::Live;
    auto view = MakeJobView(kind, stdout, stderr);
    JobSettings settings;
    settings.options = options;
    settings.url = cli.url;
    settings.interrupts = [] { return g_interrupts.load(); };
    JobResult result;
    std::unique_ptr<IOmbrex> engine = CreateOmbrex();
    const int code = RunHarvestJob(*engine, settings, *view, result);
    engine.reset(); // waits for the worker thread
    return code;
}
