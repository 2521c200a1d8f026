#include "cli/HarvestJob.h"

#include "engine/HttpLibrary.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <filesystem>
#include <set>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Bytes that count towards the speed: what arrived, whatever became of it later.
std::int64_t CountedBytes(const CDownloadItem& item) { return std::max<std::int64_t>(0, item.GetBytesTransferred()); }

} // namespace

std::string FailureText(const std::string& message, const std::string& reason)
{
    return reason.empty() ? message : message + ": " + reason;
}

std::string ItemInfoText(const CDownloadItem& item)
{
    std::string info = item.GetStatusInfo();
    static const std::string marker = "\r\nInfo: ";
    const auto at = info.find(marker);
    if (at != std::string::npos)
        info.erase(0, at + marker.size());
    if (!info.empty() && info.back() == '.')
        info.pop_back();
    return info;
}

int ExitCodeFor(DownloaderState state, const std::vector<DownloadItemPtr>& items)
{
    switch (state) {
    case DS_COMPLETED:
        return std::any_of(items.begin(), items.end(),
                           [](const DownloadItemPtr& i) { return i && i->GetStatus() == DIS_ERRORED; })
                   ? CLI_EXIT_ITEMS_ERRORED
                   : CLI_EXIT_DONE;
    case DS_PAGE_CANCELLED:
    case DS_DOWNLOADS_CANCELLED: return CLI_EXIT_CANCELLED;
    default: return CLI_EXIT_JOB_FAILED;
    }
}

int RunHarvestJob(IOmbrex& engine, const JobSettings& settings, IJobView& view, JobResult& result)
{
    const auto start = Clock::now();
    const ConfigOptions& options = settings.options;
    result = JobResult();
    result.folder = options.m_downloadFolder.GetPath();
    result.pageURL = settings.url;

    auto fail = [&](const std::string& message) {
        result.state = DS_IDLE;
        result.exitCode = CLI_EXIT_JOB_FAILED;
        result.message = message;
        result.elapsedSeconds = Seconds(Clock::now() - start);
        view.OnEnd(result);
        return result.exitCode;
    };

    // As the desktop program does: up before the retrieval, down once the job is over.
    InitHttpLibrary();
    struct HttpLibraryUser {
        ~HttpLibraryUser() { CleanupHttpLibrary(); }
    } httpLibraryUser;

    if (result.folder.empty())
        return fail("Download folder argument was empty!");
    // Never the throwing forms: an unreadable parent, a link loop or an overlong name must
    // give this message, not end the program.
    std::error_code made, looked;
    std::filesystem::create_directories(result.folder, made);
    if (!std::filesystem::is_directory(result.folder, looked)) {
        const std::error_code why = made ? made : looked;
        return fail("Could not create download folder: " + result.folder + " (" +
                    (why ? why.message() : std::string("not a folder")) + ")");
    }

    try {
        engine.ClearDownloadItems();
        const DownloaderState before = engine.GetState(false);
        if (before == DS_COMPLETED)
            engine.ResetState();
        else if (before != DS_IDLE)
            return fail("Unknown Error");
        engine.SetConfigOptions(options);
        engine.SetSaveSettings(MakeSaveSettings(options));
        engine.GotoURL(settings.url);
    } catch (const std::exception& e) {
        return fail(*e.what() ? e.what() : "Caught runtime error in GotoAddress!");
    }

    const auto period = std::chrono::milliseconds(RefreshPeriodMs(options.m_dvRefreshRate));
    const auto slice = std::chrono::milliseconds(std::max(1u, settings.sliceMs));
    std::map<std::int32_t, TrackedItem> items;
    bool cancelling = false;
    auto lastTick = Clock::now();
    auto nextTick = lastTick + period;
    DownloaderState state = DS_FETCHING_PAGE;
    std::vector<DownloadItemPtr> changed;

    for (;;) {
        if (!cancelling && settings.interrupts && settings.interrupts() > 0) {
            engine.Cancel();
            cancelling = true;
            nextTick = Clock::now(); // show the cancel at once
        }
        // A cheap look between ticks so that the end of the job is not held up by a
        // whole refresh period; only the tick acknowledges.
        const bool over = IsFinalState(engine.GetState(false));
        if (!over && Clock::now() < nextTick) {
            std::this_thread::sleep_for(slice);
            continue;
        }

        state = engine.GetState(true);
        engine.GetChangedItems(changed);
        const auto now = Clock::now();
        const double dt = std::max(1e-3, Seconds(now - lastTick));
        lastTick = now;
        nextTick = now + period;

        std::int64_t delta = 0;
        std::set<std::int32_t> seen;
        for (const DownloadItemPtr& copy : changed) {
            if (!copy)
                continue;
            seen.insert(copy->GetId());
            auto found = items.find(copy->GetId());
            if (found == items.end()) {
                delta += CountedBytes(*copy);
                items.emplace(copy->GetId(), TrackedItem{*copy, CountedBytes(*copy) / dt});
                view.OnItemStatus(*copy);
                continue;
            }
            TrackedItem& tracked = found->second;
            const std::int64_t gained = std::max<std::int64_t>(0, CountedBytes(*copy) - CountedBytes(tracked.item));
            delta += gained;
            const bool statusChanged = copy->GetStatus() != tracked.item.GetStatus();
            tracked.item = *copy;
            tracked.speed = gained / dt;
            if (statusChanged)
                view.OnItemStatus(tracked.item);
        }
        // Items that did not change received nothing.
        for (auto& [id, tracked] : items) {
            if (!seen.count(id))
                tracked.speed = 0;
        }

        if (state == DS_DOWNLOADING || IsFinalState(state))
            result.pageURL = engine.GetCurrentURL();
        JobProgress progress;
        progress.state = state;
        progress.cancelling = cancelling;
        progress.pageURL = result.pageURL;
        progress.elapsedSeconds = Seconds(now - start);
        progress.speed = delta / dt;
        progress.items = &items;
        view.OnTick(progress);

        if (IsFinalState(state) || state == DS_IDLE)
            break;
    }

    // The job is over: the engine's own items no longer change.
    engine.GetDownloadItems(result.items);
    std::sort(result.items.begin(), result.items.end(),
              [](const DownloadItemPtr& a, const DownloadItemPtr& b) { return a->GetId() < b->GetId(); });
    for (const DownloadItemPtr& item : result.items) {
        auto found = items.find(item->GetId());
        if (found == items.end() || found->second.item.GetStatus() != item->GetStatus()) {
            view.OnItemStatus(*item);
            items[item->GetId()] = TrackedItem{*item, 0};
        }
    }

    result.state = state;
    result.elapsedSeconds = Seconds(Clock::now() - start);
    result.exitCode = ExitCodeFor(state, result.items);
    if (state == DS_PAGE_FAILED) {
        result.message = "Could not retrieve requested URL";
        result.reason = engine.GetPageFailureReason();
    } else if (state == DS_DOWNLOADS_FAILED)
        result.message = "Downloading files failed";
    else if (state == DS_IDLE)
        result.message = "Unknown Error";
    view.OnEnd(result);
    return result.exitCode;
}
