#include "ui/SpecialHeaderCtrl.h"

#include "ui/ColumnType.h"
#include "ui/ParentListView.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionHeader>

namespace {
// How far from a divider a double click still counts as on it.
constexpr int kDividerSlack = 4;
// The sort arrow's size in the header, as drawn in its picture, and its gap to the right edge.
constexpr int kArrowWidth = 9;
constexpr int kArrowHeight = 5;
constexpr int kArrowMargin = 4;
} // namespace

CSpecialHeaderCtrl::CSpecialHeaderCtrl(IParentListView* view, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), m_view(view), m_sortUp(QStringLiteral(":/icons/sort-up.svg")),
      m_sortDown(QStringLiteral(":/icons/sort-down.svg"))
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

void CSpecialHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logical) const
{
    if (!rect.isValid())
        return;
    QStyleOptionHeader option;
    initStyleOptionForIndex(&option, logical);
    option.rect = rect;
    const bool sorted = isSortIndicatorShown() && sortIndicatorSection() == logical;
    // The style draws the section and its label; the arrow is ours, so that it looks the same
    // in every style. Ascending shows the arrow pointing down, as Qt's own header does.
    option.sortIndicator = QStyleOptionHeader::None;
    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);
    QStyleOptionHeader label = option;
    if (sorted)
        label.rect.setRight(rect.right() - kArrowWidth - 2 * kArrowMargin);
    label.rect = style()->subElementRect(QStyle::SE_HeaderLabel, &label, this);
    if (label.rect.isValid())
        style()->drawControl(QStyle::CE_HeaderLabel, &label, painter, this);
    if (sorted) {
        const QIcon& arrow = sortIndicatorOrder() == Qt::AscendingOrder ? m_sortDown : m_sortUp;
        const QRect place(rect.right() + 1 - kArrowMargin - kArrowWidth,
                          rect.top() + (rect.height() - kArrowHeight) / 2, kArrowWidth, kArrowHeight);
        arrow.paint(painter, place);
    }
    painter->restore();
}
