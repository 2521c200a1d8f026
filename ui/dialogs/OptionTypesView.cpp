#include "ui/dialogs/OptionTypesView.h"

#include "config/KnownFileTypes.h"
#include "ui/Prompts.h"
#include "ui/dialogs/FileTypesModel.h"
#include "ui/dialogs/NormalizeExtension.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>

#include <algorithm>

namespace {

std::vector<std::shared_ptr<CFileType>> CopyTypes(const std::vector<std::shared_ptr<CFileType>>& types)
{
    std::vector<std::shared_ptr<CFileType>> copies;
    copies.reserve(types.size());
    for (const auto& type : types)
        copies.push_back(std::make_shared<CFileType>(type ? *type : CFileType()));
    return copies;
}

} // namespace

COptionTypesView::COptionTypesView(QWidget* parent) : QTableView(parent), m_model(new CFileTypesModel(m_types, this))
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setSortingEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(false);
    setColumnWidth(0, kExtensionWidth);
    setColumnWidth(1, kDescriptionWidth);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &COptionTypesView::SortByColumn);

    // The selection stays visible while another control has the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
}

COptionTypesView::~COptionTypesView() = default;

void COptionTypesView::SetTypes(const std::vector<std::shared_ptr<CFileType>>& types)
{
    m_types = CopyTypes(types);
    Refresh();
}

std::vector<std::shared_ptr<CFileType>> COptionTypesView::GetTypes() const { return CopyTypes(m_types); }

void COptionTypesView::AddFileType(const std::string& text, bool selected)
{
    const std::string pattern = NormalizeExtension(text);
    m_types.push_back(std::make_shared<CFileType>(pattern, KnownFileTypes::GetDescription(pattern), selected));
    Refresh();
}

bool COptionTypesView::RemoveSelected()
{
    const int row = SelectedIndex();
    if (row < 0)
        return false;
    const QString ext = QString::fromStdString(m_types[static_cast<std::size_t>(row)]->m_ext);
    if (!Prompts().AskYesNo(this, "Are you sure you want to remove the file type with extension " + ext + "?",
                            "Remove " + ext + "?"))
        return false;
    m_types.erase(m_types.begin() + row);
    const int remaining = static_cast<int>(m_types.size());
    int next = row;
    if (remaining == 1)
        next = 0;
    else if (row == remaining)
        next = remaining - 1;
    m_model->Reset();
    SelectIndex(next);
    return true;
}

void COptionTypesView::SortByColumn(int column)
{
    const auto key = [column](const std::shared_ptr<CFileType>& type) -> const std::string& {
        return column == 0 ? type->m_ext : type->m_desc;
    };
    std::stable_sort(m_types.begin(), m_types.end(), [&key](const auto& a, const auto& b) { return key(a) < key(b); });
    Refresh();
}

int COptionTypesView::SelectedIndex() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void COptionTypesView::SelectIndex(int row)
{
    if (row < 0 || row >= static_cast<int>(m_types.size())) {
        clearSelection();
        return;
    }
    const QModelIndex index = m_model->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void COptionTypesView::SetColumnWidths(int extension, int description)
{
    setColumnWidth(0, extension);
    setColumnWidth(1, description);
}

QRect COptionTypesView::CheckBoxRect(int row) const
{
    const QModelIndex index = m_model->index(row, 0);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.index = index;
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    option.text = index.data().toString();
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

void COptionTypesView::Refresh()
{
    // The selected index stays where it was, as in a list that stores no items.
    const int selected = SelectedIndex();
    m_model->Reset();
    if (selected >= 0)
        SelectIndex(selected);
}

bool COptionTypesView::HitsCheckBox(const QPoint& pos, int& row) const
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid() || index.column() != 0)
        return false;
    row = index.row();
    return CheckBoxRect(row).contains(pos);
}

void COptionTypesView::mousePressEvent(QMouseEvent* event)
{
    int row = -1;
    if (event->button() == Qt::LeftButton && m_editable && HitsCheckBox(event->position().toPoint(), row)) {
        CFileType& type = *m_types[static_cast<std::size_t>(row)];
        type.m_bChecked = !type.m_bChecked;
        m_modified = true;
        m_model->RowChanged(row);
        emit checkToggled();
    }
    QTableView::mousePressEvent(event);
}

void COptionTypesView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second click of a double click on a box toggles it again, like any click.
    mousePressEvent(event);
}

void COptionTypesView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}
