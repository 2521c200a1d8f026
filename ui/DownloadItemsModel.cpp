#include "ui/DownloadItemsModel.h"

#include "ui/FileIconCache.h"
#include "ui/HeaderMgr.h"

#include <sys/stat.h>

#include <algorithm>

namespace {

using Predicate = bool (*)(const DownloadItemPtr&, const DownloadItemPtr&);

Predicate Ordering(int type, bool ascending)
{
    static const Predicate orderings[COL_COUNT][2] = {
        {IdDescending, IdAscending},
        {FileNameDescending, FileNameAscending},
        {SizeDescending, SizeAscending},
        {ProgressDescending, ProgressAscending},
        {SpeedDescending, SpeedAscending},
        {TransferredDescending, TransferredAscending},
        {RemainingDescending, RemainingAscending},
        {SourceDescending, SourceAscending},
    };
    return orderings[type >= 0 && type < COL_COUNT ? type : 0][ascending ? 1 : 0];
}

// Trailing blanks keep the dashes off the right edge of right-aligned cells.
const char kDashes[] = "--   ";
const char kShortDashes[] = "--  ";

bool ShowsTransfer(DownloadItemStatus status) { return status == DIS_IN_PROGRESS || status == DIS_COMPLETED; }

// Ids in this range are found through the index, others by a search.
bool IsIndexed(std::int32_t id) { return id >= 0 && id < (1 << 24); }

bool IsGone(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) != 0;
}

} // namespace

CDownloadItemsModel::CDownloadItemsModel(QObject* parent) : QAbstractTableModel(parent) {}

std::string CDownloadItemsModel::CellText(const CDownloadItem& item, int type)
{
    const DownloadItemStatus status = item.GetStatus();
    switch (type) {
    case COL_ID: return std::to_string(static_cast<long long>(item.GetId()) + 1);
    case COL_FILE_NAME: return item.GetFileName();
    case COL_SIZE:
        if (status == DIS_QUEUED)
            return "Unknown";
        if (status == DIS_SKIPPED)
            return item.GetFileSize() > 0 ? item.GetSizeText() : kShortDashes;
        return ShowsTransfer(status) ? item.GetSizeText() : kDashes;
    case COL_PROGRESS: return DownloadItemStatusLabel(status);
    case COL_SPEED: return status == DIS_IN_PROGRESS ? item.GetSpeedText() : kDashes;
    case COL_TRANSFERRED: return ShowsTransfer(status) ? item.GetTransferredText() : kDashes;
    case COL_REMAINING: return ShowsTransfer(status) ? item.GetRemainingText() : kDashes;
    case COL_SOURCE: return item.GetURL();
    }
    return std::string();
}

Qt::Alignment CDownloadItemsModel::CellAlignment(int type)
{
    switch (type) {
    case COL_ID: return Qt::AlignCenter;
    case COL_SIZE:
    case COL_SPEED:
    case COL_TRANSFERRED:
    case COL_REMAINING: return Qt::AlignRight | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

int CDownloadItemsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CDownloadItemsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : COL_COUNT; }

QVariant CDownloadItemsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const CDownloadItem& item = *Item(index.row());
    const int type = index.column();
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(CellText(item, type));
    case Qt::TextAlignmentRole: return QVariant::fromValue(CellAlignment(type));
    case Qt::DecorationRole:
        if (type == COL_FILE_NAME)
            return CFileIconCache::GetInstance()->IconFor(item.GetFileName());
        if (type == COL_PROGRESS && item.GetStatus() != DIS_IN_PROGRESS)
            return CFileIconCache::GetInstance()->StatusIcon(item.GetStatus());
        return QVariant();
    case Qt::ToolTipRole:
        return item.HasStatusInfo() ? QVariant(QString::fromStdString(item.GetStatusInfo())) : QVariant();
    case StatusRole: return static_cast<int>(item.GetStatus());
    case SortKeyRole:
        switch (type) {
        case COL_ID: return item.GetId();
        case COL_FILE_NAME: return QString::fromStdString(item.GetFileName());
        case COL_SIZE: return static_cast<qlonglong>(item.GetEffectiveSize());
        case COL_PROGRESS: return item.GetProgress();
        case COL_SPEED: return item.GetSpeed();
        case COL_TRANSFERRED: return static_cast<qlonglong>(item.GetTransferredKey());
        case COL_REMAINING: return static_cast<qlonglong>(item.GetRemainingKey());
        case COL_SOURCE: return QString::fromStdString(item.GetURL());
        }
        return QVariant();
    }
    return QVariant();
}

QVariant CDownloadItemsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(CHeaderMgr::Title(section));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return QVariant();
}

int CDownloadItemsModel::RowOfId(std::int32_t id) const
{
    if (IsIndexed(id))
        return static_cast<std::size_t>(id) < m_rowOfId.size() ? m_rowOfId[static_cast<std::size_t>(id)] : -1;
    // Not a job's sequence number: never indexed.
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        if (m_rows[row]->GetId() == id)
            return static_cast<int>(row);
    return -1;
}

void CDownloadItemsModel::IndexId(std::int32_t id, int row)
{
    if (!IsIndexed(id))
        return;
    if (static_cast<std::size_t>(id) >= m_rowOfId.size())
        m_rowOfId.resize(static_cast<std::size_t>(id) + 1, -1);
    m_rowOfId[static_cast<std::size_t>(id)] = row;
}

void CDownloadItemsModel::RebuildIdIndex()
{
    std::fill(m_rowOfId.begin(), m_rowOfId.end(), -1);
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        IndexId(m_rows[row]->GetId(), static_cast<int>(row));
}

void CDownloadItemsModel::Merge(const std::vector<DownloadItemPtr>& items)
{
    std::vector<DownloadItemPtr> added;
    int first = rowCount(), last = -1;
    for (const DownloadItemPtr& item : items) {
        if (!item)
            continue;
        const int row = RowOfId(item->GetId());
        if (row < 0) {
            added.push_back(item);
            continue;
        }
        *m_rows[static_cast<std::size_t>(row)] = *item;
        first = std::min(first, row);
        last = std::max(last, row);
    }
    if (last >= 0)
        emit dataChanged(index(first, 0), index(last, COL_COUNT - 1));
    if (added.empty())
        return;
    const int start = rowCount();
    beginInsertRows(QModelIndex(), start, start + static_cast<int>(added.size()) - 1);
    for (const DownloadItemPtr& item : added) {
        IndexId(item->GetId(), static_cast<int>(m_rows.size()));
        m_rows.push_back(item);
    }
    endInsertRows();
}

void CDownloadItemsModel::Sort(int type, bool ascending)
{
    if (m_rows.size() < 2)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::int32_t> ids;
    ids.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before)
        ids.push_back(Item(index.row())->GetId());

    std::sort(m_rows.begin(), m_rows.end(), Ordering(type, ascending));
    RebuildIdIndex();

    QModelIndexList after;
    after.reserve(before.size());
    for (int i = 0; i < before.size(); ++i)
        after.push_back(index(RowOfId(ids[static_cast<std::size_t>(i)]), before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CDownloadItemsModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    m_rowOfId.clear();
    endResetModel();
}

void CDownloadItemsModel::MarkMissingFiles(int firstRow)
{
    for (int row = std::max(firstRow, 0); row < rowCount(); ++row) {
        CDownloadItem& item = *m_rows[static_cast<std::size_t>(row)];
        if (!item.IsCompleted() || !IsGone(item.GetSavedPath()))
            continue;
        item.SetStatus(DIS_DELETED);
        item.SetStatusInfo("File no longer exists in download folder");
        emit dataChanged(index(row, 0), index(row, COL_COUNT - 1));
    }
}
