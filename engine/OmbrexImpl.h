#pragma once
// The controller behind IOmbrex: holds the next job's settings and runs each job on a
// worker thread of its own. Front ends include Ombrex.h only.
#include "engine/DownloadItemFetcher.h"
#include "engine/LinkAcceptor.h"
#include "engine/Ombrex.h"
#include "fetch/HtmlPageFetcher.h"
#include "fetch/LinkExtractor.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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
    std::string GetPageFailureReason() override;

    // Both fetchers' client side (worker thread).
    bool ShouldContinue() override;
    bool GetNextDownloadItem(DownloadItemPtr& item) override;
    bool IsFileSizeAllowed(std::int64_t size) override;
    bool MayFileReachSize(std::int64_t size) override;
    void OnFetcherNotify(std::int32_t code) override;

private:
    void WorkerProc();
    void SetState(DownloaderState state);
    void SetBusy(bool busy);
    bool IsBusy();

    std::string m_url;
    std::string m_currentURL;
    std::string m_pageFailureReason; // guarded by the URL lock too
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
