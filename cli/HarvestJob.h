#pragma once
// Runs one harvest through IOmbrex in the order the desktop program uses, polling on refresh
// ticks, and tells a view what it sees.
#include "config/ConfigOptions.h"
#include "engine/DownloadItem.h"
#include "engine/Ombrex.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

enum CliExitCode : int {
    CLI_EXIT_DONE = 0,          // the job completed and no item errored
    CLI_EXIT_ITEMS_ERRORED = 1, // the job completed, some items errored
    CLI_EXIT_JOB_FAILED = 2,    // the page could not be retrieved, or the download phase failed
    CLI_EXIT_CANCELLED = 3,     // the user cancelled
};

// "Could not retrieve requested URL: HTTP status 404", or the message alone.
std::string FailureText(const std::string& message, const std::string& reason);
// The text after "Info: " in the item's info, without the closing full stop.
std::string ItemInfoText(const CDownloadItem& item);

// One item as last seen, with a speed measured between ticks.
struct TrackedItem {
    CDownloadItem item;
    double speed = 0; // bytes per second over the last tick
};

struct JobProgress {
    DownloaderState state = DS_IDLE;
    bool cancelling = false;
    std::string pageURL;
    double elapsedSeconds = 0;
    double speed = 0; // all items together, bytes per second over the last tick
    const std::map<std::int32_t, TrackedItem>* items = nullptr;
};

struct JobResult {
    DownloaderState state = DS_IDLE;
    int exitCode = CLI_EXIT_JOB_FAILED;
    std::string message; // the failure's text, empty on success
    std::string reason;  // why the page failed, when the engine knows
    std::string pageURL;
    std::string folder;
    double elapsedSeconds = 0;
    std::vector<DownloadItemPtr> items; // in id order
};

class IJobView {
public:
    virtual ~IJobView() = default;
    // An item was seen for the first time or with another status than before.
    virtual void OnItemStatus(const CDownloadItem& item) = 0;
    // After every refresh tick.
    virtual void OnTick(const JobProgress& progress) = 0;
    // Once, when the job is over (or could not start).
    virtual void OnEnd(const JobResult& result) = 0;
};

struct JobSettings {
    ConfigOptions options;
    std::string url;
    // How many interrupts (Ctrl-C) have arrived so far; the first cancels the job.
    std::function<int()> interrupts;
    // Poll slice between ticks; a final state is noticed within one slice.
    unsigned sliceMs = 20;
};

// Runs the job to its final state and fills `result`. Returns the exit code.
int RunHarvestJob(IOmbrex& engine, const JobSettings& settings, IJobView& view, JobResult& result);

// The exit code for a final state and its items.
int ExitCodeFor(DownloaderState state, const std::vector<DownloadItemPtr>& items);
