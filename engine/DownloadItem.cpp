#include "engine/DownloadItem.h"

#include "helpers/AsciiText.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <locale>
#include <sstream>

namespace {

std::int64_t NowSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

// Statuses whose transfer has no bytes worth showing: queued, cancelled, errored, skipped.
bool ShowsNoTransfer(DownloadItemStatus status)
{
    return status == DIS_QUEUED || status == DIS_CANCELLED || status == DIS_ERRORED || status == DIS_SKIPPED;
}

// Statuses whose byte counts count for the transferred and remaining orderings.
bool HasTransferKeys(DownloadItemStatus status)
{
    return status == DIS_IN_PROGRESS || status == DIS_COMPLETED || status == DIS_DELETED;
}

// Negative, zero or positive as a sorts before, with or after b, ignoring letter case;
// on an equal common part the shorter text comes first.
int CompareNoCase(const std::string& a, const std::string& b)
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        // Upper case, so '_' and the like sort after the letters.
        const auto ca = static_cast<unsigned char>(HELPERS::UpperAscii(a[i]));
        const auto cb = static_cast<unsigned char>(HELPERS::UpperAscii(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

} // namespace

std::string FormatByteSize(double bytes)
{
    constexpr double kKB = 1024.0;
    constexpr double kMB = 1024.0 * 1024.0;
    constexpr double kGB = 1024.0 * 1024.0 * 1024.0;

    std::ostringstream out;
    out.imbue(std::locale::classic()); // no digit grouping whatever the user's locale
    out.precision(4);
    if (bytes < kKB)
        out << bytes << " bytes";
    else if (bytes < kMB)
        out << bytes / kKB << " KB";
    else if (bytes < kGB)
        out << bytes / kMB << " MB";
    else
        out << bytes / kGB << " GB";
    return out.str();
}

CDownloadItem::CDownloadItem(const CDownloadItem& other)
    : m_itemId(other.m_itemId), m_fileName(other.m_fileName), m_savedPath(other.m_savedPath),
      m_fileSize(other.m_fileSize), m_bytesTransferred(other.m_bytesTransferred), m_url(other.m_url),
      m_linkKind(other.m_linkKind), m_startTime(other.m_startTime), m_status(other.m_status),
      // A buffer of its own: snapshots handed to the view never share text with live items.
      m_statusInfo(other.m_statusInfo ? std::make_shared<const std::string>(*other.m_statusInfo) : nullptr)
{}

CDownloadItem& CDownloadItem::operator=(const CDownloadItem& other)
{
    if (this == &other)
        return *this;
    m_itemId = other.m_itemId;
    m_fileName = other.m_fileName;
    m_savedPath = other.m_savedPath;
    m_fileSize = other.m_fileSize;
    m_bytesTransferred = other.m_bytesTransferred;
    m_url = other.m_url;
    m_linkKind = other.m_linkKind;
    m_startTime = other.m_startTime;
    m_status = other.m_status;
    m_statusInfo = other.m_statusInfo ? std::make_shared<const std::string>(*other.m_statusInfo) : nullptr;
    return *this;
}

void CDownloadItem::SetBytesTransferred(std::int64_t count)
{
    if (m_bytesTransferred == 0 && count > 0) {
        m_startTime = NowSeconds();
        m_status = DIS_IN_PROGRESS;
    }
    m_bytesTransferred = count;
    if (m_fileSize > 0 && count >= m_fileSize && (m_status == DIS_QUEUED || m_status == DIS_IN_PROGRESS))
        m_status = DIS_COMPLETED;
}

void CDownloadItem::SetStatusInfo(const std::string& text)
{
    m_statusInfo = std::make_shared<const std::string>("Filename: " + m_fileName + "\r\nInfo: " + text + ".");
}

std::int64_t CDownloadItem::GetEffectiveSize() const
{
    switch (m_status) {
    case DIS_SKIPPED: return m_fileSize > 0 ? m_fileSize : 0;
    case DIS_QUEUED:
    case DIS_CANCELLED:
    case DIS_ERRORED: return 0;
    default: return m_fileSize;
    }
}

double CDownloadItem::GetProgress() const
{
    // Final statuses get distinct negative codes so that sorting by progress groups them.
    switch (m_status) {
    case DIS_QUEUED: return -2;
    case DIS_CANCELLED: return -3;
    case DIS_ERRORED: return -4;
    case DIS_COMPLETED: return 1;
    case DIS_SKIPPED: return -5;
    case DIS_DELETED: return -6;
    default: return m_fileSize > 0 ? static_cast<double>(m_bytesTransferred) / static_cast<double>(m_fileSize) : 0;
    }
}

double CDownloadItem::GetSpeed() const
{
    if (m_status != DIS_IN_PROGRESS)
        return 0;
    const std::int64_t elapsed = NowSeconds() - m_startTime;
    if (elapsed > 0)
        return static_cast<double>(m_bytesTransferred) / static_cast<double>(elapsed);
    return static_cast<double>(m_bytesTransferred);
}

std::string CDownloadItem::GetSizeText() const
{
    if (m_fileSize <= 0)
        return "???";
    return FormatByteSize(static_cast<double>(GetEffectiveSize()));
}

std::string CDownloadItem::GetTransferredText() const
{
    if (ShowsNoTransfer(m_status))
        return FormatByteSize(0);
    return FormatByteSize(static_cast<double>(m_bytesTransferred));
}

std::string CDownloadItem::GetRemainingText() const
{
    if (m_fileSize <= 0)
        return "???";
    if (ShowsNoTransfer(m_status))
        return FormatByteSize(0);
    return FormatByteSize(static_cast<double>(m_fileSize - m_bytesTransferred));
}

std::string CDownloadItem::GetSpeedText() const { return FormatByteSize(GetSpeed()) + "/s"; }

std::int64_t CDownloadItem::GetTransferredKey() const { return HasTransferKeys(m_status) ? m_bytesTransferred : 0; }

std::int64_t CDownloadItem::GetRemainingKey() const
{
    return HasTransferKeys(m_status) ? m_fileSize - m_bytesTransferred : 0;
}

bool IdAscending(const DownloadItemPtr& a, const DownloadItemPtr& b) { return a->GetId() < b->GetId(); }

bool IdDescending(const DownloadItemPtr& a, const DownloadItemPtr& b) { return a->GetId() > b->GetId(); }

bool FileNameAscending(const DownloadItemPtr& a, const DownloadItemPtr& b)
{
    return CompareNoCase(a->GetFileName(), b->GetFileName()) < 0;
}

bool FileNameDescending(const DownloadItemPtr& a, const DownloadItemPtr& b)
{
    return CompareNoCase(a->GetFileName(), b->GetFileName()) > 0;
}

bool SourceAscending(const DownloadItemPtr& a, const DownloadItemPtr& b)
{
    return CompareNoCase(a->GetURL(), b->GetURL()) < 0;
}

bool SourceDescending(const DownloadItemPtr& a, const DownloadItemPtr& b)
{
    return CompareNoCase(a->GetURL(), b->GetURL()) > 0;
}

bool SizeAscending(const DownloadItemPtr& a, const DownloadItemPtr& b)
{
    return a->GetEffectiveSize() < b->GetEffectiveSize();
}

bool SizeDescending(const DownloadItemPtr& a, const DownloadItemPtr& b)
{
    return a->GetEffectiveSize() > b->GetEffectiveSize();
}

bool ProgressAscending(const DownloadItemPtr& a, const DownloadItemPtr& b)
{
    return a->GetProgress() < b->GetProgress();
}

bool ProgressDescending(const DownloadItemPtr& a, const DownloadItemPtr& b)
{
    return a->GetProgress() > b->GetProgress();
}

bool SpeedAscending(const DownloadItemPtr& a, const DownloadItemPtr& b) { return a->GetSpeed() < b->GetSpeed(); }

bool SpeedDescending(const DownloadItemPtr& a, const DownloadItemPtr& b) { return a->GetSpeed() > b->GetSpeed(); }

bool TransferredAscending(const DownloadItemPtr& a, const DownloadItemPtr& b)
{
    return a->GetTransferredKey() < b->GetTransferredKey();
}

bool TransferredDescending(const DownloadItemPtr& a, const DownloadItemPtr& b)
{
    return a->GetTransferredKey() > b->GetTransferredKey();
}

bool RemainingAscending(const DownloadItemPtr& a, const DownloadItemPtr& b)
{
    return a->GetRemainingKey() < b->GetRemainingKey();
}

bool RemainingDescending(const DownloadItemPtr& a, const DownloadItemPtr& b)
{
    return a->GetRemainingKey() > b->GetRemainingKey();
}

const char* DownloadItemStatusName(DownloadItemStatus status)
{
    switch (status) {
    case DIS_QUEUED: return "DIS_QUEUED";
    case DIS_IN_PROGRESS: return "DIS_IN_PROGRESS";
    case DIS_CANCELLED: return "DIS_CANCELLED";
    case DIS_ERRORED: return "DIS_ERRORED";
    case DIS_COMPLETED: return "DIS_COMPLETED";
    case DIS_SKIPPED: return "DIS_SKIPPED";
    case DIS_DELETED: return "DIS_DELETED";
    }
    return "DIS_UNKNOWN";
}

const char* DownloadItemStatusLabel(DownloadItemStatus status)
{
    switch (status) {
    case DIS_QUEUED: return "Queued";
    case DIS_IN_PROGRESS: return "In progress";
    case DIS_CANCELLED: return "Cancelled";
    case DIS_ERRORED: return "Errored";
    case DIS_COMPLETED: return "Completed";
    case DIS_SKIPPED: return "Skipped";
    case DIS_DELETED: return "Deleted";
    }
    return "Unknown";
}

bool IsFinalItemStatus(DownloadItemStatus status) { return status != DIS_QUEUED && status != DIS_IN_PROGRESS; }
