#include "engine/DownloadItemFetcher.h"

#include "fetch/CurlWait.h"
#include "helpers/PathHelpers.h"

#include <cerrno>
#include <cstdio>
#include <curl/curl.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

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

// Saved files get the permissions a newly created file of the user would get; mkstemp
// makes them 0600. The umask is read from /proc so no other thread sees it changed.
mode_t SavedFileMode()
{
    static const mode_t mode = [] {
        mode_t mask = 022;
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("Umask:", 0) == 0) {
                mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
                break;
            }
        }
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

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

DIFDataInfo::~DIFDataInfo()
{
    CloseAndDeleteTempFile();
    if (easy)
        curl_easy_cleanup(easy);
}

void DIFDataInfo::CloseAndDeleteTempFile()
{
    if (!m_bTempFileOpen)
        return;
    if (tempFd >= 0)
        ::close(tempFd);
    tempFd = -1;
    ::unlink(tempPath.c_str());
    m_bTempFileOpen = false;
}

bool CDownloadItemFetcher::AdmitCallback(CDownloadItem& item, bool completedGoesOn)
{
    switch (item.GetStatus()) {
    case DIS_QUEUED:
        item.SetStatus(DIS_IN_PROGRESS);
        return true;
    case DIS_IN_PROGRESS:
        return true;
    case DIS_COMPLETED:
        if (completedGoesOn)
            return true;
        item.SetStatus(DIS_ERRORED);
        return false;
    case DIS_CANCELLED:
    case DIS_ERRORED:
    case DIS_SKIPPED:
        return false;
    default:
        item.SetStatus(DIS_ERRORED);
        return false;
    }
}

CDownloadItemFetcher::CDownloadItemFetcher(IDownloadItemFetcherClient* client) : m_pClient(client) {}

CDownloadItemFetcher::~CDownloadItemFetcher() { ReleaseAllTransfers(); }

void CDownloadItemFetcher::SetSaveSettings(const SaveSettings& settings)
{
    m_fileSavePolicy = static_cast<FileSavePolicy>(settings.m_fileSavePolicy);
    m_downloadFolder = settings.m_downloadFolder;
    m_nMaxConcurrentDownloads = settings.m_nMaxConcurrentDownloads;
}

void CDownloadItemFetcher::SetConnectionSettings(const ConnectionSettings& settings)
{
    m_connSettings = settings;
}

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
    m_multi = curl_multi_init();
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
            if (PerformUntilSettled(m_multi, running) != CURLM_OK) {
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
            const CurlWaitResult wait = WaitOnCurlSockets(m_multi, more ? std::chrono::milliseconds(0) : slice);
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
    if (!SetUpEasyHandle(*info) || curl_multi_add_handle(m_multi, info->easy) != CURLM_OK)
        return false; // the record's destructor cleans up the handle

    m_handleToItem[info->easy] = index;
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
    if (info.easy)
        curl_easy_cleanup(info.easy);
    info.easy = curl_easy_init();
    if (!info.easy)
        return false;
    CURL* h = info.easy;
    std::string url;
    {
        std::lock_guard<std::recursive_mutex> lock(m_itemLock);
        url = m_items[static_cast<std::size_t>(info.itemIndex)]->GetURL();
    }
    return curl_easy_setopt(h, CURLOPT_USERAGENT, m_connSettings.m_userAgent.c_str()) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, HeaderCallback) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_HEADERDATA, &info) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteCallback) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_WRITEDATA, &info) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, ProgressCallback) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_XFERINFODATA, &info) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_AUTOREFERER, m_connSettings.m_bAutoReferer ? 1L : 0L) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, m_connSettings.m_bFollowLocation ? 1L : 0L) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_MAXREDIRS, static_cast<long>(m_connSettings.m_nMaxRedirects)) == CURLE_OK &&
           curl_easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK;
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
        std::size_t done = 0;
        while (done < bytes) {
            const ssize_t n = ::write(info.tempFd, data + done, bytes - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                SetItemOutcome(info.itemIndex, DIS_ERRORED, kTempFileFailed);
                info.CloseAndDeleteTempFile();
                return Abort(bytes);
            }
            done += static_cast<std::size_t>(n);
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
        m_active.erase(index);
        return false;
    }
    std::string path = HELPERS::GetFullFilePath("TFRXXXXXX", folder);
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
        SetItemOutcome(index, DIS_ERRORED, kTempFileFailed);
        return false;
    }
    ::fchmod(fd, SavedFileMode());
    info.tempFd = fd;
    info.tempPath = path;
    info.m_bTempFileOpen = true;
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
        curl_easy_getinfo(info.easy, CURLINFO_RESPONSE_CODE, &code);
        if (total > 0 && code >= 200 && code < 300) {
            item.SetFileSize(total);
            if (m_pClient && !m_pClient->IsFileSizeAllowed(total)) {
                DiscardTempFile(index);
                SetItemOutcome(index, DIS_SKIPPED, kSkippedSize);
                m_active.erase(index);
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
    while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
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
            if (rc != CURLE_OK) {
                if (item.GetStatus() != DIS_CANCELLED && item.GetStatus() != DIS_SKIPPED && !abortedAfterError) {
                    DiscardTempFile(index);
                    m_active.erase(index);
                    SetItemOutcome(index, DIS_ERRORED, rc == CURLE_HTTP_RETURNED_ERROR ? kHttpError : kErrored);
                }
            } else {
                if (item.GetStatus() == DIS_IN_PROGRESS)
                    item.SetStatus(DIS_COMPLETED);
                if (item.GetStatus() == DIS_COMPLETED) {
                    m_active.erase(index);
                    // A body that never arrived is an empty file, saved like any other.
                    if (record != m_itemToTransfer.end() && !record->second->bodyStarted)
                        PrepareTempFile(*record->second);
                    if (item.GetStatus() == DIS_COMPLETED)
                        SaveDownloadedFile(index);
                }
            }
        }
        ReleaseTransfer(index);
    }
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
    if (record->easy) {
        curl_multi_remove_handle(m_multi, record->easy);
        m_handleToItem.erase(record->easy);
    }
    std::lock_guard<std::recursive_mutex> lock(m_itemLock);
    record.reset(); // deletes a temporary file still open
}

void CDownloadItemFetcher::ReleaseAllTransfers()
{
    std::unordered_map<std::int32_t, std::shared_ptr<DIFDataInfo>> records;
    {
        std::lock_guard<std::recursive_mutex> lock(m_itemLock);
        records.swap(m_itemToTransfer);
    }
    for (auto& [index, record] : records) {
        if (record->easy && m_multi)
            curl_multi_remove_handle(m_multi, record->easy);
    }
    {
        std::lock_guard<std::recursive_mutex> lock(m_itemLock);
        records.clear();
    }
    m_handleToItem.clear();
    if (m_multi) {
        curl_multi_cleanup(m_multi);
        m_multi = nullptr;
    }
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
    if (!info.m_bTempFileOpen)
        return;
    CDownloadItem& item = *m_items[static_cast<std::size_t>(index)];
    try {
        const std::string folder = m_downloadFolder;
        std::string name = item.GetFileName();
        if (HELPERS::FileExists(name, folder)) {
            if (m_fileSavePolicy == FSP_SKIP) {
                SetItemOutcome(index, DIS_ERRORED, kSaveFailedSkip);
                return;
            }
            if (m_fileSavePolicy == FSP_RENAME) {
                if (!HELPERS::MakeUniqueFileName(name, folder)) {
                    SetItemOutcome(index, DIS_ERRORED, kNoUniqueName);
                    return;
                }
                item.SetFileName(name);
            }
        }
        const std::string path = HELPERS::GetFullFilePath(name, folder);
        ::close(info.tempFd);
        info.tempFd = -1;
        // Only Overwrite may replace a file; a name taken meanwhile fails the move
        // instead of destroying that file.
        const unsigned flags = m_fileSavePolicy == FSP_OVERWRITE ? 0u : RENAME_NOREPLACE;
        if (::renameat2(AT_FDCWD, info.tempPath.c_str(), AT_FDCWD, path.c_str(), flags) != 0) {
            ::unlink(info.tempPath.c_str());
            info.m_bTempFileOpen = false;
            SetItemOutcome(index, DIS_ERRORED, kSaveFailed);
            return;
        }
        info.m_bTempFileOpen = false;
        item.SetStatus(DIS_COMPLETED);
        item.SetSavedPath(path);
        item.SetStatusInfo(kCompleted);
    } catch (...) {
        SetItemOutcome(index, DIS_ERRORED, kSaveFailed);
    }
}

void CDownloadItemFetcher::DiscardTempFile(std::int32_t index)
{
    std::lock_guard<std::recursive_mutex> lock(m_itemLock);
    try {
        const auto found = m_itemToTransfer.find(index);
        if (found != m_itemToTransfer.end())
            found->second->CloseAndDeleteTempFile();
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
        item.SetStatus(DIS_CANCELLED);
        item.SetStatusInfo(kUserCancelled);
        m_active.erase(index);
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
        m_active.erase(index);
        item.SetStatus(DIS_CANCELLED);
        item.SetStatusInfo(kUserCancelled);
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
