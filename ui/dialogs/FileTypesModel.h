#pragma once
// The table behind COptionTypesView: reads the view's type list, stores nothing itself.
#include "config/FileType.h"

#include <QAbstractTableModel>

#include <memory>
#include <vector>

class CFileTypesModel : public QAbstractTableModel {
public:
    CFileTypesModel(const std::vector<std::shared_ptr<CFileType>>& types, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The list changed: count and every row are read again.
    void Reset();
    void RowChanged(int row);

private:
    const std::vector<std::shared_ptr<CFileType>>& m_types;
};
