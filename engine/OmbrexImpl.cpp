#include "engine/OmbrexImpl.h"

#include <limits>
#include <optional>
#include <stdexcept>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

COmbrex::COmbrex() : m_pageFetcher(this), m_itemFetcher(this)
{
    m_saveSettings.m_fileSavePolicy = FSP_RENAME;
    SetDownloadFolder(HELPERS::WinDirectory("C:\\Downloads"));

    // Governs only until the first SetConfigOptions.
    CDownloadFilter filter;
    filter.SetIncludeExtensions("*.jpg|*.jpeg|*.bmp|*.gif|*.tiff|*.wmv|*.mpg|*.mpeg|*.avi|*.mov");
    filter.SetExcludeExtensions("*.html|*.htm|*.jsp|*.asp|*.php");
    filter.m_bUseInclude = true;
    filter.m_bUseExclude = true;
    filter.SetMinFileSize(0);
    filter.SetMaxFileSize(std::numeric_limits<std::int64_t>::max());
    SetDownloadFilter(filter);
}

COmbrex::~COmbrex()
{
    // The worker uses this object; it must be gone before the members are.
    Cancel();
    std::unique_lock<std::mutex> lock(m_workerLock);
    m_workerDone.wait(lock, [this] { return !m_workerRunning; });
}

void COmbrex::SetState(DownloaderState state)
{
    std::lock_guard<std::mutex> lock(m_stateLock);
    m_state = state;
}

void COmbrex::SetBusy(bool busy)
{
    std::lock_guard<std::mutex> lock(m_busyLock);
    m_bBusy = busy;
}

bool COmbrex::IsBusy()
{
    std::lock_guard<std::mutex> lock(m_busyLock);
    return m_bBusy;
}

void COmbrex::SetDownloadFolder(const HELPERS::WinDirectory& folder)
{
    if (IsBusy())
        throw std::runtime_error("Attempt to set download folder when downloader not idle");
    if (folder.empty())
        throw std::runtime_error("Download folder argument was empty!");
    m_downloadFolder = folder;
}

HELPERS::WinDirectory COmbrex::GetDownloadFolder() { return m_downloadFolder; }

void COmbrex::SetDownloadFilter(const CDownloadFilter& filter)
{
    if (IsBusy())
        throw std::runtime_error("Attempt to set download filter when downloader not idle");
    m_filter = filter;
}

void COmbrex::SetConnectionSettings(const ConnectionSettings& settings)
{
    if (IsBusy())
        throw std::runtime_error("Attempt to set user agent when downloader not idle");
    m_connSettings = settings;
}

ConnectionSettings COmbrex::GetConnectionSettings() { return m_connSettings; }

void COmbrex::SetSaveSettings(const SaveSettings& settings) { m_saveSettings = settings; }

SaveSettings COmbrex::GetSaveSettings() { return m_saveSettings; }

void COmbrex::SetConfigOptions(const ConfigOptions& options)
{
    m_options = options;
    m_filter = BuildDownloadFilter(m_options);
    m_connSettings.m_userAgent = m_options.m_userAgent;
    m_connSettings.m_respFactor = m_options.m_respFactor;
}

ConfigOptions COmbrex::GetConfigOptions() { return m_options; }

void COmbrex::GotoURL(std::string url)
{
    if (GetState(false) != DS_IDLE)
        throw std::runtime_error("GotoURL called when downloader NOT idle!");
    if (url.empty())
        throw std::runtime_error("Empty URL passed into GotoURL!");

    // The previous worker may still be on its last lines after publishing its state.
    {
        std::unique_lock<std::mutex> lock(m_workerLock);
        m_workerDone.wait(lock, [this] { return !m_workerRunning; });
        m_workerRunning = true;
    }

    m_url = url;
    m_acceptor.Reset();
    {
        std::lock_guard<std::mutex> lock(m_keepGoingLock);
        m_bKeepGoing = true;
    }
    SetBusy(true);
    SetState(DS_FETCHING_PAGE);
    m_pageFetcher.SetConnectionSettings(m_connSettings);

    try {
        std::thread(&COmbrex::WorkerProc, this).detach();
    } catch (const std::exception&) {
        {
            std::lock_guard<std::mutex> lock(m_workerLock);
            m_workerRunning = false;
            m_workerDone.notify_all();
        }
        SetBusy(false);
        SetState(DS_IDLE);
        throw std::runtime_error("Could not create thread to fetch URL");
    }
}

void COmbrex::WorkerProc()
{
    // Below the user interface: a few nice levels down for this thread only.
    const int nice = getpriority(PRIO_PROCESS, 0);
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice + 2 > 19 ? 19 : nice + 2);

    // Notified under the lock: once a waiter sees the flag, this thread no longer
    // touches the object, which the destructor may then free.
    auto finish = [this] {
        std::lock_guard<std::mutex> lock(m_workerLock);
        m_workerRunning = false;
        m_workerDone.notify_all();
    };

    // Every libcurl handle of the job is released inside the two phases, before their final
    // state is published; the use guard keeps libcurl up until then even if the front end
    // cleans it up early.
    std::optional<CHttpLibraryUse> httpLibrary;
    httpLibrary.emplace();
    auto publish = [&](DownloaderState state) {
        httpLibrary.reset();
        SetState(state);
    };

    std::vector<char>().swap(m_page);
    std::string url = m_url;
    int result = FR_TRANSFER_FAILED;
    try {
        result = m_pageFetcher.FetchPage(url, m_page);
        std::lock_guard<std::mutex> lock(m_urlLock);
        m_currentURL = url;
        m_pageFailureReason =
            result == FR_OK || result == FR_CANCELLED ? std::string() : m_pageFetcher.GetFailureReason();
    } catch (...) {
        publish(DS_PAGE_FAILED);
        SetBusy(false);
        finish();
        return;
    }

    if (result != FR_OK) {
        publish(result == FR_CANCELLED ? DS_PAGE_CANCELLED : DS_PAGE_FAILED);
        finish();
        return;
    }
    SetState(DS_DOWNLOADING);

    int run = RR_EXCEPTION;
    try {
        m_extractor.Reset(std::move(m_page), url);
        m_itemFetcher.SetSaveSettings(m_saveSettings);
        m_itemFetcher.SetConnectionSettings(m_connSettings);
        run = m_itemFetcher.RunDownloads(this);
    } catch (...) {
        run = RR_EXCEPTION;
    }
    publish(run == RR_COMPLETED ? DS_COMPLETED : run == RR_CANCELLED ? DS_DOWNLOADS_CANCELLED : DS_DOWNLOADS_FAILED);
    if (run == RR_COMPLETED)
        SetBusy(false);
    finish();
}

void COmbrex::CancelDownloadItems(const std::vector<std::int32_t>& indices)
{
    m_itemFetcher.CancelDownloadItems(indices);
}

void COmbrex::Cancel()
{
    std::lock_guard<std::mutex> lock(m_keepGoingLock);
    m_bKeepGoing = false;
}

DownloaderState COmbrex::GetState(bool acknowledge)
{
    DownloaderState state;
    bool idle;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        state = m_state;
        if (acknowledge && state != DS_IDLE && state != DS_FETCHING_PAGE && state != DS_DOWNLOADING)
            m_state = DS_IDLE;
        idle = m_state == DS_IDLE;
    }
    if (idle)
        SetBusy(false);
    return state;
}

void COmbrex::ResetState() { SetState(DS_IDLE); }

std::string COmbrex::GetCurrentURL()
{
    std::lock_guard<std::mutex> lock(m_urlLock);
    return m_currentURL;
}

void COmbrex::GetChangedItems(std::vector<DownloadItemPtr>& out) { m_itemFetcher.GetChangedItems(out); }

void COmbrex::GetDownloadItems(std::vector<DownloadItemPtr>& out) { m_itemFetcher.GetDownloadItems(out); }

void COmbrex::ClearDownloadItems() { m_itemFetcher.ClearDownloadItems(); }

bool COmbrex::ShouldContinue()
{
    std::lock_guard<std::mutex> lock(m_keepGoingLock);
    return m_bKeepGoing;
}

bool COmbrex::GetNextDownloadItem(DownloadItemPtr& item)
{
    std::string url, fileName, extension;
    for (;;) {
        const LinkKind kind = m_extractor.GetNextLink(url, fileName, extension);
        if (kind == LK_NONE)
            return false;
        if (DownloadItemPtr accepted = m_acceptor.Accept(m_filter, url, fileName, extension, kind)) {
            item = accepted;
            return true;
        }
    }
}

bool COmbrex::IsFileSizeAllowed(std::int64_t size) { return m_filter.IsSizeAllowed(size); }

bool COmbrex::MayFileReachSize(std::int64_t size) { return size <= m_filter.GetMaxFileSize(); }

std::string COmbrex::GetPageFailureReason()
{
    std::lock_guard<std::mutex> lock(m_urlLock);
    return m_pageFailureReason;
}

void COmbrex::OnFetcherNotify(std::int32_t) {}
