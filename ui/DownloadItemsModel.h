#pragma once
// The rows of the download list: one shared item per row, in display order, one model
// column per column type. Each refresh is one batch: changed items are copied into their
// rows, new ones appended with one insertion, then the rows are re-sorted in place so that
// selections and the current row follow their items.
#include "engine/DownloadItem.h"
#include "ui/ColumnType.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <string>
#include <vector>

class CDownloadItemsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The value the rows are sorted by (the engine's orderings compare the same keys).
    static constexpr int SortKeyRole = Qt::UserRole;
    static constexpr int StatusRole = Qt::UserRole + 1;

    explicit CDownloadItemsModel(QObject* parent = nullptr);

    // The text a cell of this column type shows for the item.
    static std::string CellText(const CDownloadItem& item, int type);
    static Qt::Alignment CellAlignment(int type);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const DownloadItemPtr& Item(int row) const { return m_rows[static_cast<std::size_t>(row)]; }
    const std::vector<DownloadItemPtr>& Rows() const { return m_rows; }
    // The row of the item with this id, or -1.
    int RowOfId(std::int32_t id) const;

    // Copies each item into the row of the same id, appends the others in their order.
    void Merge(const std::vector<DownloadItemPtr>& items);
    void Sort(int type, bool ascending);
    void Clear();

    // Completed items from `firstRow` on whose file has gone turn Deleted.
    void MarkMissingFiles(int firstRow);

private:
    void RebuildIdIndex();
    void IndexId(std::int32_t id, int row);

    std::vector<DownloadItemPtr> m_rows;
    // Row by id: ids are a job's sequence numbers from 0, so a vector serves; -1 for none.
    std::vector<int> m_rowOfId;
};
