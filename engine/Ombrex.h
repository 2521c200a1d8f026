#pragma once
// The download engine's front door. A front end creates one controller with CreateOmbrex
// and talks to it only through IOmbrex, from one thread (the user-interface thread); each
// GotoURL runs the whole job on a worker thread of its own.
#include "config/ConfigOptions.h"
#include "engine/DownloadFilter.h"
#include "engine/DownloadItem.h"
#include "engine/DownloadItemFetcher.h"
#include "engine/LinkAcceptor.h"
#include "engine/SaveSettings.h"
#include "fetch/ConnectionSettings.h"
#include "fetch/HtmlPageFetcher.h"
#include "fetch/LinkExtractor.h"
#include "helpers/WinDirectory.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
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

class IOmbrex {
public:
    virtual ~IOmbrex() = default;
    virtual void SetDownloadFolder(const HELPERS::WinDirectory& folder) = 0;
    virtual HELPERS::WinDirectory GetDownloadFolder() = 0;
    virtual void SetDownloadFilter(const CDownloadFilter& filter) = 0;
    virtual void SetConnectionSettings(const ConnectionSettings& settings) = 0;
    virtual ConnectionSettings GetConnectionSettings() = 0;
    virtual void SetSaveSettings(const SaveSettings& settings) = 0;
    virtual SaveSettings GetSaveSettings() = 0;
    virtual void SetConfigOptions(const ConfigOptions& options) = 0;
    virtual ConfigOptions GetConfigOptions() = 0;
    virtual void GotoURL(std::string url) = 0;
    virtual void CancelDownloadItems(const std::vector<std::int32_t>& indices) = 0;
    virtual void Cancel() = 0;
    virtual DownloaderState GetState(bool acknowledge) = 0;
    virtual void ResetState() = 0;
    virtual std::string GetCurrentURL() = 0;
    virtual void GetChangedItems(std::vector<DownloadItemPtr>& out) = 0;
    virtual void GetDownloadItems(std::vector<DownloadItemPtr>& out) = 0;
    virtual void ClearDownloadItems() = 0;
};

std::unique_ptr<IOmbrex> CreateOmbrex();

// The filter a job uses for these options: the checked types, no exclusions, the size
// range in bytes. Throws DFException for a negative size.
CDownloadFilter BuildDownloadFilter(const ConfigOptions& options);

class COmbrex : public IOmbrex, public IHtmlPageFetcherClient, public IDownloadItemFetcherClient {
public:
    COmbrex();
    // Cancels a running job and waits for its worker to finish.
    ~COmbrex() override;

    void SetDownloadFolder(const HELPERS::WinDirectory& folder) override;
    HELPERS::WinDirectory GetDownloadFolder() override;
    void SetDownloadFilter(const CDownloadFilter& filter) override;
    void SetConnectionSettings(const ConnectionSettings& settings) override;
    ConnectionSettings GetConnectionSettings() override;
    void SetSaveSettings(const SaveSettings& settings) override;
    SaveSettings GetSaveSettings() override;
    void SetConfigOptions(const ConfigOptions& options) override;
    ConfigOptions GetConfigOptions() override;
    void GotoURL(std::string url) override;
    void CancelDownloadItems(const std::vector<std::int32_t>& indices) override;
    void Cancel() override;
    DownloaderState GetState(bool acknowledge) override;
    void ResetState() override;
    std::string GetCurrentURL() override;
    void GetChangedItems(std::vector<DownloadItemPtr>& out) override;
    void GetDownloadItems(std::vector<DownloadItemPtr>& out) override;
    void ClearDownloadItems() override;

    // Both fetchers' client side (worker thread).
    bool ShouldContinue() override;
    bool GetNextDownloadItem(DownloadItemPtr& item) override;
    bool IsFileSizeAllowed(std::int64_t size) override;
    void OnFetcherNotify(std::int32_t code) override;

private:
    void WorkerProc();
    void SetState(DownloaderState state);
    void SetBusy(bool busy);
    bool IsBusy();

    std::string m_url;
    std::string m_currentURL;
    std::mutex m_urlLock;
    ConnectionSettings m_connSettings;
    CHtmlPageFetcher m_pageFetcher;
    SaveSettings m_saveSettings;
    CDownloadItemFetcher m_itemFetcher;
    ConfigOptions m_options;
    std::vector<char> m_page;
    CLinkAcceptor m_acceptor; // seen addresses and the next item id
    CDownloadFilter m_filter;
    HELPERS::WinDirectory m_downloadFolder;
    bool m_bKeepGoing = true;
    std::mutex m_keepGoingLock;
    bool m_bBusy = false;
    std::mutex m_busyLock;
    DownloaderState m_state = DS_IDLE;
    std::mutex m_stateLock;
    CLinkExtractor m_extractor;

    // Lets the destructor wait for a worker still running.
    bool m_workerRunning = false;
    std::mutex m_workerLock;
    std::condition_variable m_workerDone;
};
