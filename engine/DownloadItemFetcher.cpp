#include "engine/DownloadItemFetcher.h"

#include "fetch/CurlWait.h"
#include "helpers/PathHelpers.h"

#include <algorithm>
#include <curl/curl.h>

namespace {

const char* const kQueued = "Queued";
const char* const kInProgress = "Download in progress";
const char* const kCompleted = "Completed";
const char* const kUserCancelled = "User cancelled";
const char* const kErrored = "Errored";
const char* const kHttpError = "HTTP error.  Requested file may not be present on server";
const char* const kSkippedExists = "Download skipped because file already exists in download folder";
const char* const kSkippedSize = "Download skipped because file size was either too small or too large";
const char* const kTempFileFailed = "Could not create temporary file to save contents";
const char* const kNoUniqueName = "Could not obtain unique filename while attempting to save file";
const char* const kSaveFailed = "Unknown error while attempting to save file";
const char* const kSaveFailedSkip = "Unknown error while attempting to save file, line: 721";
const char* const kDiscardFailed = "Unknown error while attempting to save file, line: 799";
const char* const kNoTransfer = "Could not find DIF item index to get file save info!  Line: 769";

size_t HeaderCallback(char*, size_t size, size_t count, void* userData)
{
    auto* info = static_cast<DIFDataInfo*>(userData);
    return info->owner->OnHeader(*info, size * count);
}

size_t WriteCallback(char* data, size_t size, size_t count, void* userData)
{
    auto* info = static_cast<DIFDataInfo*>(userData);
    return info->owner->OnWrite(*info, data, size * count);
}

int ProgressCallback(void* userData, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t)
{
    auto* info = static_cast<DIFDataInfo*>(userData);
    return info->owner->OnProgress(*info, total, now);
}

// A value other than `bytes` makes libcurl abort the transfer.
size_t Abort(size_t bytes) { return bytes == 0 ? 1 : 0; }

} // namespace

bool CDownloadItemFetcher::AdmitCallback(CDownloadItem& item, bool completedGoesOn)
{
    switch (item.GetStatus()) {
    case DIS_QUEUED: item.SetStatus(DIS_IN_PROGRESS); return true;
    case DIS_IN_PROGRESS: return true;
    case DIS_COMPLETED:
        if (completedGoesOn)
            return true;
        item.SetStatus(DIS_ERRORED);
        return false;
    case DIS_CANCELLED:
    case DIS_ERRORED:
    case DIS_SKIPPED: return false;
    default: item.SetStatus(DIS_ERRORED); return false;
    }
}

CDownloadItemFetcher::CDownloadItemFetcher(IDownloadItemFetcherClient* client) : m_pClient(client) {}

CDownloadItemFetcher::~CDownloadItemFetcher() { ReleaseAllTransfers(); }

void CDownloadItemFetcher::SetSaveSettings(const SaveSettings& settings)
{
    m_fileSavePolicy = static_cast<FileSavePolicy>(settings.m_fileSavePolicy);
    m_downloadFolder = settings.m_downloadFolder;
    // Fewer than one slot would never start a transfer, and the job would never end.
    m_nMaxConcurrentDownloads = std::max<std::int32_t>(1, settings.m_nMaxConcurrentDownloads);
}

void CDownloadItemFetcher::SetConnectionSettings(const ConnectionSettings& settings) { m_connSettings = settings; }

bool CDownloadItemFetcher::ClientContinues() { return m_pClient == nullptr || m_pClient->ShouldContinue(); }

void CDownloadItemFetcher::MarkChanged(std::int32_t index)
{
    std::lock_guard<std::mutex> lock(m_changedLock);
    m_changed.insert(index);
}

void CDownloadItemFetcher::SetItemOutcome(std::int32_t index, DownloadItemStatus status, const char* info)
{
    std::lock_guard<std::recursive_mutex> lock(m_itemLock);
    CDownloadItem& item = *m_items[static_cast<std::size_t>(index)];
    item.SetStatus(status);
    item.SetStatusInfo(info);
    if (status == DIS_ERRORED) {
        const auto record = m_itemToTransfer.find(index);
        if (record != m_itemToTransfer.end())
            record->second->errorReported = true;
    }
    if (status != DIS_QUEUED && status != DIS_IN_PROGRESS)
        m_active.erase(index);
}

int CDownloadItemFetcher::RunDownloads(IDownloadItemFetcherClient* client)
{
    if (client)
        m_pClient = client;
    ReleaseAllTransfers();
    {
        std::lock_guard<std::recursive_mutex> lock(m_itemLock);
        m_items.clear();
        m_active.clear();
    }
    m_pending.clear();
    {
        std::lock_guard<std::mutex> lock(m_changedLock);
        m_changed.clear();
    }
    m_runResult = RR_COMPLETED;

    // One multi handle for the whole run: its connection cache lets transfers to the same
    // server reuse connections.
    m_multi.reset(curl_multi_init());
    if (!m_multi)
        return RR_CURL_FAILED;

    const auto slice = WaitSliceFor(m_connSettings.m_respFactor);
    try {
        for (;;) {
            m_pumpTookItem = false;
            const PumpResult pump = PumpItems();
            if (pump == PUMP_STOP) {
                if (!ClientContinues()) {
                    CancelAllItems();
                    m_runResult = RR_CANCELLED;
                } else {
                    m_runResult = RR_START_FAILED;
                }
                break;
            }

            int running = 0;
            if (PerformUntilSettled(m_multi.get(), running) != CURLM_OK) {
                m_runResult = RR_CURL_FAILED;
                break;
            }
            // Collected on every pass, so a slot frees as soon as its transfer ends.
            ProcessFinishedTransfers();
            if (m_runResult == RR_CANCELLED)
                break;
            if (pump == PUMP_NO_MORE && m_handleToItem.empty())
                break;

            // While links are still being taken or a free slot can be filled, only look
            // at the sockets; otherwise sleep until activity or the end of the slice.
            bool more = m_pumpTookItem;
            if (!more && !m_pending.empty()) {
                std::lock_guard<std::recursive_mutex> lock(m_itemLock);
                more = static_cast<std::int32_t>(m_active.size()) < m_nMaxConcurrentDownloads;
            }
            const CurlWaitResult wait = WaitOnCurlSockets(m_multi.get(), more ? std::chrono::milliseconds(0) : slice);
            if (wait == CWR_SOCKETS_FAILED || wait == CWR_WAIT_FAILED) {
                m_runResult = wait == CWR_SOCKETS_FAILED ? RR_CURL_FAILED : RR_WAIT_FAILED;
                break;
            }
        }
    } catch (...) {
        m_runResult = RR_EXCEPTION;
    }

    ReleaseAllTransfers();
    return m_runResult;
}

CDownloadItemFetcher::PumpResult CDownloadItemFetcher::PumpItems()
{
    if (!ClientContinues())
        return PUMP_STOP;

    auto freeSlot = [this] {
        std::lock_guard<std::recursive_mutex> lock(m_itemLock);
        return static_cast<std::int32_t>(m_active.size()) < m_nMaxConcurrentDownloads;
    };

    DownloadItemPtr item;
    if (m_pClient && m_pClient->GetNextDownloadItem(item) && item) {
        std::int32_t index;
        {
            std::lock_guard<std::recursive_mutex> lock(m_itemLock);
            index = static_cast<std::int32_t>(m_items.size());
            m_items.push_back(item);
            {
                std::lock_guard<std::mutex> changed(m_changedLock);
                m_changed.insert(index);
            }
            item->SetStatusInfo(kQueued);
        }
        m_pending.push_back(index);
        m_pumpTookItem = true;
        if (freeSlot() && !StartNextTransfer())
            return PUMP_STOP;
        return PUMP_GO_ON;
    }

    if (freeSlot()) {
        if (m_pending.empty())
            return PUMP_NO_MORE;
        if (!StartNextTransfer())
            return PUMP_STOP;
    }
    return PUMP_GO_ON;
}

bool CDownloadItemFetcher::StartNextTransfer()
{
    if (m_pending.empty())
        return true;
    const std::int32_t index = m_pending.front();
    m_pending.pop_front();
    {
        std::lock_guard<std::recursive_mutex> lock(m_itemLock);
        if (m_items[static_cast<std::size_t>(index)]->GetStatus() == DIS_CANCELLED)
            return true;
    }

    auto info = std::make_shared<DIFDataInfo>();
    info->owner = this;
    info->itemIndex = index;
    if (!SetUpEasyHandle(*info) || !info->transfer.Attach(m_multi.get()))
        return false; // the record frees the handle

    m_handleToItem[info->transfer.get()] = index;
    std::lock_guard<std::recursive_mutex> lock(m_itemLock);
    m_itemToTransfer[index] = info;
    m_active.insert(index);
    CDownloadItem& item = *m_items[static_cast<std::size_t>(index)];
    item.SetStatus(DIS_IN_PROGRESS);
    item.SetStatusInfo(kInProgress);
    std::lock_guard<std::mutex> changed(m_changedLock);
    m_changed.insert(index);
    return true;
}

bool CDownloadItemFetcher::SetUpEasyHandle(DIFDataInfo& info)
{
    std::string url;
    {
        std::lock_guard<std::recursive_mutex> lock(m_itemLock);
        url = m_items[static_cast<std::size_t>(info.itemIndex)]->GetURL();
    }
    info.transfer.Reset(MakeEasyHandle(m_connSettings, url));
    CURL* h = info.transfer.get();
    return h && curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, HeaderCallback) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_HEADERDATA, &info) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteCallback) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_WRITEDATA, &info) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, ProgressCallback) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_XFERINFODATA, &info) == CURLE_OK;
}

std::size_t CDownloadItemFetcher::OnHeader(DIFDataInfo&, std::size_t bytes)
{
    try {
        return ClientContinues() ? bytes : Abort(bytes);
    } catch (...) {
        return Abort(bytes);
    }
}

std::size_t CDownloadItemFetcher::OnWrite(DIFDataInfo& info, const char* data, std::size_t bytes)
{
    try {
        if (!ClientContinues())
            return Abort(bytes);
        MarkChanged(info.itemIndex);

        std::lock_guard<std::recursive_mutex> lock(m_itemLock);
        CDownloadItem& item = *m_items[static_cast<std::size_t>(info.itemIndex)];
        // Body bytes after completion mean the announced size was wrong.
        if (!AdmitCallback(item, false))
            return Abort(bytes);
        if (!info.bodyStarted && !PrepareTempFile(info))
            return Abort(bytes);

        // Written under the item lock: a cancel from the user-interface thread closes
        // this file, and must not do so in the middle of a write.
        if (!info.file.Write(data, bytes)) {
            SetItemOutcome(info.itemIndex, DIS_ERRORED, kTempFileFailed);
            return Abort(bytes);
        }
        // A body of unannounced size is stopped as soon as it passes the largest size
        // wanted, instead of filling the disk.
        if (!info.sizeAnnounced && m_pClient && !m_pClient->MayFileReachSize(info.file.BytesWritten())) {
            info.file.Discard();
            SetItemOutcome(info.itemIndex, DIS_SKIPPED, kSkippedSize);
            return Abort(bytes);
        }
        return bytes;
    } catch (...) {
        return Abort(bytes);
    }
}

bool CDownloadItemFetcher::PrepareTempFile(DIFDataInfo& info)
{
    std::lock_guard<std::recursive_mutex> lock(m_itemLock);
    const std::int32_t index = info.itemIndex;
    const std::string folder = m_downloadFolder;
    info.bodyStarted = true;
    if (m_fileSavePolicy == FSP_SKIP &&
        HELPERS::FileExists(m_items[static_cast<std::size_t>(index)]->GetFileName(), folder)) {
        SetItemOutcome(index, DIS_SKIPPED, kSkippedExists);
        return false;
    }
    if (!info.file.Create(folder)) {
        SetItemOutcome(index, DIS_ERRORED, kTempFileFailed);
        return false;
    }
    return true;
}

int CDownloadItemFetcher::OnProgress(DIFDataInfo& info, std::int64_t total, std::int64_t now)
{
    try {
        if (!ClientContinues())
            return 1;
        const std::int32_t index = info.itemIndex;
        MarkChanged(index);

        std::lock_guard<std::recursive_mutex> lock(m_itemLock);
        CDownloadItem& item = *m_items[static_cast<std::size_t>(index)];
        if (!AdmitCallback(item, true))
            return 1;

        if (item.GetStatus() == DIS_COMPLETED) {
            m_active.erase(index);
            if (total > 0)
                item.SetFileSize(total);
            item.SetBytesTransferred(now);
            SaveDownloadedFile(index);
            return 0;
        }

        // Sizes are checked once the server has announced one; a body of unknown length
        // is never refused by size. Only a successful answer announces the file: the
        // length of an error page or a redirect says nothing about it.
        long code = 0;
        curl_easy_getinfo(info.transfer.get(), CURLINFO_RESPONSE_CODE, &code);
        if (total > 0 && code >= 200 && code < 300) {
            info.sizeAnnounced = true;
            item.SetFileSize(total);
            if (m_pClient && !m_pClient->IsFileSizeAllowed(total)) {
                DiscardTempFile(index);
                SetItemOutcome(index, DIS_SKIPPED, kSkippedSize);
                return 1;
            }
        }
        item.SetBytesTransferred(now);
        if (item.GetStatus() == DIS_COMPLETED) {
            m_active.erase(index);
            SaveDownloadedFile(index);
        }
        return 0;
    } catch (...) {
        return 1;
    }
}

void CDownloadItemFetcher::ProcessFinishedTransfers()
{
    if (!m_multi)
        return;
    if (!ClientContinues()) {
        m_runResult = RR_CANCELLED;
        CancelAllItems();
    }
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(m_multi.get(), &left)) {
        if (msg->msg != CURLMSG_DONE)
            continue;
        const CURLcode rc = msg->data.result;
        const auto found = m_handleToItem.find(msg->easy_handle);
        if (found == m_handleToItem.end())
            continue;
        const std::int32_t index = found->second;
        MarkChanged(index);
        {
            std::lock_guard<std::recursive_mutex> lock(m_itemLock);
            CDownloadItem& item = *m_items[static_cast<std::size_t>(index)];
            // A transfer our own callback stopped because its item had already failed
            // keeps the reason it failed with.
            const auto record = m_itemToTransfer.find(index);
            const bool abortedAfterError = record != m_itemToTransfer.end() && record->second->errorReported &&
                                           (rc == CURLE_ABORTED_BY_CALLBACK || rc == CURLE_WRITE_ERROR);
            // A file already saved whole stays Completed, even if the transfer is then
            // aborted by a cancel before libcurl reports it done.
            const DownloadItemStatus status = item.GetStatus();
            if (rc != CURLE_OK) {
                if (status != DIS_CANCELLED && status != DIS_SKIPPED && status != DIS_COMPLETED && !abortedAfterError) {
                    DiscardTempFile(index);
                    SetItemOutcome(index, DIS_ERRORED, rc == CURLE_HTTP_RETURNED_ERROR ? kHttpError : kErrored);
                }
            } else {
                FinishSuccessfulTransfer(record != m_itemToTransfer.end() ? record->second.get() : nullptr, index);
            }
        }
        ReleaseTransfer(index);
    }
}

void CDownloadItemFetcher::FinishSuccessfulTransfer(DIFDataInfo* record, std::int32_t index)
{
    CDownloadItem& item = *m_items[static_cast<std::size_t>(index)];
    if (item.GetStatus() == DIS_IN_PROGRESS) {
        // A size that was never announced is judged now that the body is complete.
        const std::int64_t received = record ? record->file.BytesWritten() : 0;
        if (record && !record->sizeAnnounced && m_pClient && !m_pClient->IsFileSizeAllowed(received)) {
            DiscardTempFile(index);
            SetItemOutcome(index, DIS_SKIPPED, kSkippedSize);
            return;
        }
        item.SetStatus(DIS_COMPLETED);
    }
    if (item.GetStatus() != DIS_COMPLETED)
        return;
    m_active.erase(index);
    // A body that never arrived is an empty file, saved like any other.
    if (record && !record->bodyStarted)
        PrepareTempFile(*record);
    if (item.GetStatus() == DIS_COMPLETED)
        SaveDownloadedFile(index);
}

void CDownloadItemFetcher::ReleaseTransfer(std::int32_t index)
{
    std::shared_ptr<DIFDataInfo> record;
    {
        std::lock_guard<std::recursive_mutex> lock(m_itemLock);
        auto it = m_itemToTransfer.find(index);
        if (it == m_itemToTransfer.end())
            return;
        record = it->second;
        m_itemToTransfer.erase(it);
    }
    m_handleToItem.erase(record->transfer.get());
    std::lock_guard<std::recursive_mutex> lock(m_itemLock);
    record.reset(); // deletes a temporary file still open, leaves the multi handle
}

void CDownloadItemFetcher::ReleaseAllTransfers()
{
    std::unordered_map<std::int32_t, std::shared_ptr<DIFDataInfo>> records;
    {
        std::lock_guard<std::recursive_mutex> lock(m_itemLock);
        records.swap(m_itemToTransfer);
    }
    {
        std::lock_guard<std::recursive_mutex> lock(m_itemLock);
        records.clear(); // every transfer leaves the multi handle before it goes
    }
    m_handleToItem.clear();
    m_multi.reset();
}

void CDownloadItemFetcher::SaveDownloadedFile(std::int32_t index)
{
    std::lock_guard<std::recursive_mutex> lock(m_itemLock);
    const auto found = m_itemToTransfer.find(index);
    if (found == m_itemToTransfer.end()) {
        SetItemOutcome(index, DIS_ERRORED, kNoTransfer);
        return;
    }
    DIFDataInfo& info = *found->second;
    if (!info.file.IsOpen())
        return;
    CDownloadItem& item = *m_items[static_cast<std::size_t>(index)];
    try {
        std::string name = item.GetFileName();
        std::string path;
        switch (info.file.Save(m_downloadFolder, m_fileSavePolicy, name, path)) {
        case CDownloadFile::SR_SAVED: break;
        case CDownloadFile::SR_NAME_TAKEN:
            info.file.Discard();
            SetItemOutcome(index, DIS_ERRORED, kSaveFailedSkip);
            return;
        case CDownloadFile::SR_NO_UNIQUE_NAME:
            info.file.Discard();
            SetItemOutcome(index, DIS_ERRORED, kNoUniqueName);
            return;
        case CDownloadFile::SR_MOVE_FAILED:
        case CDownloadFile::SR_NOTHING_OPEN: SetItemOutcome(index, DIS_ERRORED, kSaveFailed); return;
        }
        item.SetFileName(name);
        item.SetStatus(DIS_COMPLETED);
        item.SetSavedPath(path);
        item.SetStatusInfo(kCompleted);
    } catch (...) {
        info.file.Discard();
        SetItemOutcome(index, DIS_ERRORED, kSaveFailed);
    }
}

void CDownloadItemFetcher::DiscardTempFile(std::int32_t index)
{
    std::lock_guard<std::recursive_mutex> lock(m_itemLock);
    try {
        const auto found = m_itemToTransfer.find(index);
        if (found != m_itemToTransfer.end())
            found->second->file.Discard();
    } catch (...) {
        SetItemOutcome(index, DIS_ERRORED, kDiscardFailed);
    }
}

void CDownloadItemFetcher::CancelDownloadItems(const std::vector<std::int32_t>& indices)
{
    std::lock_guard<std::recursive_mutex> lock(m_itemLock);
    std::lock_guard<std::mutex> changed(m_changedLock);
    for (const std::int32_t index : indices) {
        if (index < 0 || static_cast<std::size_t>(index) >= m_items.size())
            continue;
        CDownloadItem& item = *m_items[static_cast<std::size_t>(index)];
        if (item.GetStatus() != DIS_QUEUED && item.GetStatus() != DIS_IN_PROGRESS)
            continue;
        DiscardTempFile(index);
        SetItemOutcome(index, DIS_CANCELLED, kUserCancelled);
        m_changed.insert(index);
    }
}

void CDownloadItemFetcher::CancelAllItems()
{
    std::lock_guard<std::recursive_mutex> lock(m_itemLock);
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        CDownloadItem& item = *m_items[i];
        if (item.GetStatus() != DIS_QUEUED && item.GetStatus() != DIS_IN_PROGRESS)
            continue;
        const auto index = static_cast<std::int32_t>(i);
        DiscardTempFile(index);
        SetItemOutcome(index, DIS_CANCELLED, kUserCancelled);
    }
}

void CDownloadItemFetcher::GetChangedItems(std::vector<DownloadItemPtr>& out)
{
    out.clear();
    std::set<std::int32_t> changed;
    {
        std::lock_guard<std::mutex> lock(m_changedLock);
        changed.swap(m_changed);
    }
    for (const std::int32_t index : changed) {
        std::lock_guard<std::recursive_mutex> lock(m_itemLock);
        if (static_cast<std::size_t>(index) < m_items.size())
            out.push_back(std::make_shared<CDownloadItem>(*m_items[static_cast<std::size_t>(index)]));
    }
}

void CDownloadItemFetcher::GetDownloadItems(std::vector<DownloadItemPtr>& out) { out = m_items; }

void CDownloadItemFetcher::ClearDownloadItems() { m_items.clear(); }
