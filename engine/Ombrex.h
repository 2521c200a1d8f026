#pragma once
// The download engine's front door: everything a front end (desktop program, CLI) needs.
// It includes no libcurl or fetcher header; the controller behind it lives in
// OmbrexImpl.h.
//
// Threads: a front end calls IOmbrex from one thread of its own (the user-interface
// thread). Each GotoURL runs the whole job on a worker thread that the controller starts;
// the two meet only inside the controller, behind its locks.
#include "config/ConfigOptions.h"
#include "engine/DownloadFilter.h"
#include "engine/DownloadItem.h"
#include "engine/HttpLibrary.h"
#include "engine/SaveSettings.h"
#include "fetch/ConnectionSettings.h"
#include "helpers/WinDirectory.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum DownloaderState : std::int32_t {
    DS_IDLE = 0,
    DS_FETCHING_PAGE = 1,
    DS_PAGE_FAILED = 2,
    DS_PAGE_CANCELLED = 3,
    DS_DOWNLOADING = 4,
    DS_DOWNLOADS_CANCELLED = 5,
    DS_DOWNLOADS_FAILED = 6,
    DS_COMPLETED = 7,
};

// "DS_COMPLETED" and so on.
const char* DownloaderStateName(DownloaderState state);
// What a person is shown for the state: "Requesting main page...", "Completed", ...;
// `cancelling` gives the texts shown while a cancel winds the job down.
const char* DownloaderStateLabel(DownloaderState state, bool cancelling = false);
// A job's last state: nothing changes until it is acknowledged.
bool IsFinalState(DownloaderState state);

class IOmbrex {
public:
    virtual ~IOmbrex() = default;

    // Settings: front-end thread, between jobs. The three Set calls that check refuse
    // (std::runtime_error) while a job is unacknowledged.
    virtual void SetDownloadFolder(const HELPERS::WinDirectory& folder) = 0;
    virtual HELPERS::WinDirectory GetDownloadFolder() = 0;
    virtual void SetDownloadFilter(const CDownloadFilter& filter) = 0;
    virtual void SetConnectionSettings(const ConnectionSettings& settings) = 0;
    virtual ConnectionSettings GetConnectionSettings() = 0;
    // Front-end thread, any time; a running job keeps the values it started with.
    virtual void SetSaveSettings(const SaveSettings& settings) = 0;
    virtual SaveSettings GetSaveSettings() = 0;
    // Front-end thread, between jobs: the filter, user agent and responsiveness of the next
    // job. Throws DFException for a negative size.
    virtual void SetConfigOptions(const ConfigOptions& options) = 0;
    virtual ConfigOptions GetConfigOptions() = 0;

    // Front-end thread, while idle: starts a job on a new worker thread and returns at once.
    virtual void GotoURL(std::string url) = 0;
    // Front-end thread, during a job: cancels the items with these ids.
    virtual void CancelDownloadItems(const std::vector<std::int32_t>& indices) = 0;
    // Front-end thread, any time: asks the running job to stop; the final state follows.
    virtual void Cancel() = 0;
    // Front-end thread, on every refresh tick; acknowledging a final state returns the
    // controller to DS_IDLE and ends the job.
    virtual DownloaderState GetState(bool acknowledge) = 0;
    // Front-end thread, after a job has ended (never while its worker runs).
    virtual void ResetState() = 0;
    // Front-end thread, once the state is DS_DOWNLOADING or final: the page's address after
    // redirects (the requested address when the page failed).
    virtual std::string GetCurrentURL() = 0;
    // Front-end thread, on every tick: copies of the items changed since the last call.
    virtual void GetChangedItems(std::vector<DownloadItemPtr>& out) = 0;
    // Front-end thread, only between jobs: hands out the live items themselves.
    virtual void GetDownloadItems(std::vector<DownloadItemPtr>& out) = 0;
    // Front-end thread, only between jobs.
    virtual void ClearDownloadItems() = 0;
    // Front-end thread, after DS_PAGE_FAILED: why the page could not be fetched ("HTTP
    // status 404", libcurl's error text, "not an HTML page", ...); empty otherwise.
    virtual std::string GetPageFailureReason() = 0;
};

std::unique_ptr<IOmbrex> CreateOmbrex();

// The filter a job uses for these options: the checked types, no exclusions, the size
// range in bytes. Throws DFException for a negative size.
CDownloadFilter BuildDownloadFilter(const ConfigOptions& options);

// The save settings a job uses for these options: policy, folder and concurrency.
SaveSettings MakeSaveSettings(const ConfigOptions& options);
