#pragma once
// Downloads every file of one job on the controller's worker thread: pulls items from its
// client one at a time, runs up to m_nMaxConcurrentDownloads transfers on one libcurl
// multi handle, streams bodies into "TFR" temporary files in the download folder and
// moves them to their final names by the save policy.
#include "engine/DownloadFile.h"
#include "engine/DownloadItem.h"
#include "engine/SaveSettings.h"
#include "fetch/ConnectionSettings.h"
#include "fetch/CurlHandles.h"
#include "helpers/WinDirectory.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

class IDownloadItemFetcherClient {
public:
    virtual ~IDownloadItemFetcherClient() = default;
    virtual bool GetNextDownloadItem(DownloadItemPtr& item) = 0;
    virtual bool ShouldContinue() = 0;
    virtual bool IsFileSizeAllowed(std::int64_t size) = 0;
    virtual void OnFetcherNotify(std::int32_t code) = 0;
    // Whether a body whose size was not announced may still grow to `size` bytes (false
    // once it passes the largest size wanted).
    virtual bool MayFileReachSize(std::int64_t size) = 0;
};

enum RunResult : int {
    RR_COMPLETED = 0,
    RR_CANCELLED = 1,
    RR_START_FAILED = 2,
    RR_CURL_FAILED = 3,
    RR_WAIT_FAILED = 4,
    RR_EXCEPTION = 5,
};

class CDownloadItemFetcher;

// One started transfer; the libcurl callbacks get it as their user data. Releasing it
// deletes a temporary file still open and frees the easy handle.
struct DIFDataInfo {
    CDownloadItemFetcher* owner = nullptr;
    std::int32_t itemIndex = -1;
    CCurlTransfer transfer;
    CDownloadFile file;
    bool errorReported = false; // the item was failed with a reason of its own
    bool bodyStarted = false;   // the first body bytes (or the end of an empty body) were handled
    bool sizeAnnounced = false; // a successful answer gave the body's length
};

class CDownloadItemFetcher {
public:
    explicit CDownloadItemFetcher(IDownloadItemFetcherClient* client);
    ~CDownloadItemFetcher();
    CDownloadItemFetcher(const CDownloadItemFetcher&) = delete;
    CDownloadItemFetcher& operator=(const CDownloadItemFetcher&) = delete;

    void SetSaveSettings(const SaveSettings& settings);
    void SetConnectionSettings(const ConnectionSettings& settings);

    // Runs one job; returns a RunResult. Worker thread.
    int RunDownloads(IDownloadItemFetcherClient* client);

    // User-interface thread.
    void CancelDownloadItems(const std::vector<std::int32_t>& indices);
    void GetChangedItems(std::vector<DownloadItemPtr>& out);
    void GetDownloadItems(std::vector<DownloadItemPtr>& out);
    void ClearDownloadItems();

    // libcurl callbacks (public for the C trampolines).
    std::size_t OnHeader(DIFDataInfo& info, std::size_t bytes);
    std::size_t OnWrite(DIFDataInfo& info, const char* data, std::size_t bytes);
    int OnProgress(DIFDataInfo& info, std::int64_t total, std::int64_t now);

private:
    enum PumpResult { PUMP_GO_ON = 0, PUMP_NO_MORE = 1, PUMP_STOP = 2 };

    PumpResult PumpItems();
    bool StartNextTransfer();
    bool SetUpEasyHandle(DIFDataInfo& info);
    // The end of a transfer that libcurl reports as successful (item lock held).
    void FinishSuccessfulTransfer(DIFDataInfo* record, std::int32_t index);
    void ProcessFinishedTransfers();
    void ReleaseTransfer(std::int32_t index);
    void ReleaseAllTransfers();
    // Skip check and temporary file creation before the first body bytes; false means
    // the transfer must stop (the item's status says why).
    bool PrepareTempFile(DIFDataInfo& info);
    void SaveDownloadedFile(std::int32_t index);
    void DiscardTempFile(std::int32_t index);
    void CancelAllItems();
    // The status rule shared by the write and progress callbacks (item lock held): a
    // queued item starts, a finished one stops its transfer, an unknown status fails it.
    bool AdmitCallback(CDownloadItem& item, bool completedGoesOn);
    void MarkChanged(std::int32_t index);
    // Sets a status with its info text; a final status gives the item's slot back at once.
    void SetItemOutcome(std::int32_t index, DownloadItemStatus status, const char* info);
    bool ClientContinues();

    IDownloadItemFetcherClient* m_pClient;
    ConnectionSettings m_connSettings;
    FileSavePolicy m_fileSavePolicy = FSP_RENAME;
    HELPERS::WinDirectory m_downloadFolder;
    std::int32_t m_nMaxConcurrentDownloads = 1;
    int m_runResult = RR_COMPLETED;
    bool m_pumpTookItem = false;
    std::unordered_map<CURL*, std::int32_t> m_handleToItem;
    std::unordered_map<std::int32_t, std::shared_ptr<DIFDataInfo>> m_itemToTransfer;
    CurlMultiPtr m_multi;
    std::deque<std::int32_t> m_pending;
    std::set<std::int32_t> m_active;
    std::vector<DownloadItemPtr> m_items;
    std::recursive_mutex m_itemLock;
    std::set<std::int32_t> m_changed;
    std::mutex m_changedLock;
};
