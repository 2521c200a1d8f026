#include "ui/SpecialHeaderCtrl.h"

#include "ui/ColumnType.h"
#include "ui/ParentListView.h"

#include <QContextMenuEvent>
#include <QMouseEvent>

namespace {
// How far from a divider a double click still counts as on it.
constexpr int kDividerSlack = 4;
} // namespace

CSpecialHeaderCtrl::CSpecialHeaderCtrl(IParentListView* view, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), m_view(view)
{
    setSectionsMovable(true);
    setSectionsClickable(true);
    setHighlightSections(false);
    setSortIndicatorShown(true);
    setStretchLastSection(false);
    setMinimumSectionSize(0);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(this, &QHeaderView::sectionClicked, this, [this](int logical) { m_view->OnHeaderClick(logical); });
    connect(this, &QHeaderView::sectionMoved, this, &CSpecialHeaderCtrl::OnSectionMoved);
}

bool CSpecialHeaderCtrl::IsDragAllowed(int type, int newShownPlace)
{
    return type != COL_ID && type != COL_FILE_NAME && newShownPlace > 1;
}

int CSpecialHeaderCtrl::ShownPlace(int logical) const
{
    int place = 0;
    const int visual = visualIndex(logical);
    for (int v = 0; v < visual; ++v)
        place += isSectionHidden(logicalIndex(v)) ? 0 : 1;
    return place;
}

void CSpecialHeaderCtrl::OnSectionMoved(int logical, int oldVisual, int newVisual)
{
    if (m_reverting || IsDragAllowed(logical, ShownPlace(logical)))
        return;
    m_reverting = true;
    moveSection(newVisual, oldVisual);
    m_reverting = false;
}

int CSpecialHeaderCtrl::DividerAt(int x) const
{
    for (int visual = 0; visual < count(); ++visual) {
        const int logical = logicalIndex(visual);
        if (isSectionHidden(logical))
            continue;
        const int right = sectionViewportPosition(logical) + sectionSize(logical);
        if (x >= right - kDividerSlack && x <= right + kDividerSlack)
            return logical;
    }
    return -1;
}

void CSpecialHeaderCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    m_view->OnHeaderRightClick(event->globalPos());
    event->accept();
}

void CSpecialHeaderCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int column = event->button() == Qt::LeftButton ? DividerAt(event->position().toPoint().x()) : -1;
    if (column < 0) {
        QHeaderView::mouseDoubleClickEvent(event);
        return;
    }
    m_view->AutoSizeColumn(column);
    event->accept();
}
