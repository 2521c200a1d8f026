#include "ui/dialogs/FileTypesModel.h"

CFileTypesModel::CFileTypesModel(const std::vector<std::shared_ptr<CFileType>>& types, QObject* parent)
    : QAbstractTableModel(parent), m_types(types)
{}

int CFileTypesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_types.size());
}

int CFileTypesModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant CFileTypesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_types.size()))
        return QVariant();
    const CFileType& type = *m_types[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return QString::fromStdString(index.column() == 0 ? type.m_ext : type.m_desc);
    if (role == Qt::CheckStateRole && index.column() == 0)
        return type.m_bChecked ? Qt::Checked : Qt::Unchecked;
    return QVariant();
}

QVariant CFileTypesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return section == 0 ? QStringLiteral("Extension") : QStringLiteral("Description");
    return QVariant();
}

Qt::ItemFlags CFileTypesModel::flags(const QModelIndex& index) const
{
    // Not user-checkable: the view toggles the box itself, only on a click on the box.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void CFileTypesModel::Reset()
{
    beginResetModel();
    endResetModel();
}

void CFileTypesModel::RowChanged(int row) { emit dataChanged(index(row, 0), index(row, 1)); }
