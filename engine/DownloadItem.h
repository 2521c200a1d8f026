#pragma once
// One file of a job: where it comes from, its name, progress, status and info text.
// Items are shared (std::shared_ptr); copies are plain value copies.
#include "fetch/LinkKind.h"

#include <cstdint>
#include <memory>
#include <string>

enum DownloadItemStatus : std::int32_t {
    DIS_QUEUED = 0,
    DIS_IN_PROGRESS = 1,
    DIS_CANCELLED = 2,
    DIS_ERRORED = 3,
    DIS_COMPLETED = 4,
    DIS_SKIPPED = 5,
    DIS_DELETED = 6,
};

// "DIS_COMPLETED" and so on.
const char* DownloadItemStatusName(DownloadItemStatus status);
// "Queued", "In progress", "Completed", ... as the list shows them.
const char* DownloadItemStatusLabel(DownloadItemStatus status);
// Cancelled, errored, completed, skipped or deleted: nothing will change it any more.
bool IsFinalItemStatus(DownloadItemStatus status);

// "1023 bytes", "1.5 KB", "117.7 MB": at most four significant digits.
std::string FormatByteSize(double bytes);

class CDownloadItem {
public:
    CDownloadItem() = default;
    CDownloadItem(const CDownloadItem& other);
    CDownloadItem& operator=(const CDownloadItem& other);

    void SetId(std::int32_t id) { m_itemId = id; }
    void SetFileName(const std::string& name) { m_fileName = name; }
    void SetSavedPath(const std::string& path) { m_savedPath = path; }
    void SetURL(const std::string& url) { m_url = url; }
    void SetLinkKind(LinkKind kind) { m_linkKind = kind; }
    void SetFileSize(std::int64_t size) { m_fileSize = size; }
    void SetStatus(DownloadItemStatus status) { m_status = status; }
    void SetStartTime(std::int64_t secondsSinceEpoch) { m_startTime = secondsSinceEpoch; }
    // Starts the clock and the in-progress status on the first bytes; completes the item
    // once the announced size has arrived.
    void SetBytesTransferred(std::int64_t count);
    // Stores "Filename: <name>\r\nInfo: <text>."
    void SetStatusInfo(const std::string& text);

    std::int32_t GetId() const { return m_itemId; }
    std::string GetFileName() const { return m_fileName; }
    std::string GetURL() const { return m_url; }
    std::string GetSavedPath() const { return m_savedPath; }
    LinkKind GetLinkKind() const { return m_linkKind; }
    std::int64_t GetFileSize() const { return m_fileSize; }
    std::int64_t GetBytesTransferred() const { return m_bytesTransferred; }
    std::int64_t GetStartTime() const { return m_startTime; }
    // The info text; empty when none was set (see HasStatusInfo).
    std::string GetStatusInfo() const { return m_statusInfo ? *m_statusInfo : std::string(); }
    bool HasStatusInfo() const { return m_statusInfo != nullptr; }
    DownloadItemStatus GetStatus() const { return m_status; }
    bool IsCompleted() const { return m_status == DIS_COMPLETED; }

    std::int64_t GetEffectiveSize() const;
    // Fraction done while in progress; a negative code per final status, 1 when completed.
    double GetProgress() const;
    // Average bytes per second since the first bytes; 0 unless in progress.
    double GetSpeed() const;

    std::string GetSizeText() const;
    std::string GetTransferredText() const;
    std::string GetRemainingText() const;
    std::string GetSpeedText() const;

    // Key values of the transferred and remaining orderings.
    std::int64_t GetTransferredKey() const;
    std::int64_t GetRemainingKey() const;

private:
    std::int32_t m_itemId = 0;
    std::string m_fileName;
    std::string m_savedPath;
    std::int64_t m_fileSize = 0;
    std::int64_t m_bytesTransferred = 0;
    std::string m_url;
    LinkKind m_linkKind = LK_NONE;
    std::int64_t m_startTime = 0;
    DownloadItemStatus m_status = DIS_QUEUED;
    std::shared_ptr<const std::string> m_statusInfo;
};

using DownloadItemPtr = std::shared_ptr<CDownloadItem>;

// Ordering predicates for sorting the list: true when the first item's key is less
// (Ascending) or greater (Descending) than the second's.
bool IdAscending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool IdDescending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool FileNameAscending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool FileNameDescending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool SourceAscending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool SourceDescending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool SizeAscending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool SizeDescending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool ProgressAscending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool ProgressDescending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool SpeedAscending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool SpeedDescending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool TransferredAscending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool TransferredDescending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool RemainingAscending(const DownloadItemPtr& a, const DownloadItemPtr& b);
bool RemainingDescending(const DownloadItemPtr& a, const DownloadItemPtr& b);
