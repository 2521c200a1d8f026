#include "ui/DownloadItemsDelegate.h"

#include "engine/DownloadItem.h"
#include "ui/DownloadItemsModel.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

#include <algorithm>

const QColor CDownloadItemsDelegate::kBarColor(204, 255, 51);

namespace {
constexpr int kIconLeft = 3;
constexpr int kIconTop = 2;
constexpr int kStatusTextLeft = 22;
} // namespace

CDownloadItemsDelegate::CDownloadItemsDelegate(QObject* parent) : QStyledItemDelegate(parent) { ResetContentWidths(); }

void CDownloadItemsDelegate::ResetContentWidths()
{
    m_contentWidths.fill(5);
    m_contentWidths[COL_ID] = 28;
}

void CDownloadItemsDelegate::TrackWidth(int type, int width) const
{
    int& tracked = m_contentWidths[static_cast<std::size_t>(type)];
    tracked = std::max(tracked, width);
}

int CDownloadItemsDelegate::RowHeight() { return QApplication::style()->pixelMetric(QStyle::PM_SmallIconSize) + 5; }

QSize CDownloadItemsDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const
{
    return QSize(ContentWidth(index.column()), RowHeight());
}

void CDownloadItemsDelegate::PaintText(QPainter* painter, const QRect& rect, const QString& text,
                                       Qt::Alignment alignment) const
{
    const QRect inner = rect.adjusted(kInset, 0, -kInset, 0);
    const QString shown = painter->fontMetrics().elidedText(text, Qt::ElideRight, std::max(inner.width(), 0));
    painter->drawText(inner, static_cast<int>(alignment | Qt::TextSingleLine), shown);
}

void CDownloadItemsDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    const int type = index.column();
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    const QColor background = selected ? palette.color(QPalette::Highlight) : palette.color(QPalette::Base);
    const QColor foreground = selected ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::Text);
    const QString text = index.data(Qt::DisplayRole).toString();
    const QFontMetrics metrics(option.font);
    const QRect rect = option.rect;

    painter->save();
    painter->setFont(option.font);
    painter->setPen(foreground);

    switch (type) {
    case COL_ID: {
        // The Id cell stands out like a row header; selected, a deeper shade of the selection
        // stands in for the hot-light colour Qt palettes do not have.
        painter->fillRect(rect,
                          selected ? palette.color(QPalette::Highlight).darker(135) : palette.color(QPalette::Button));
        painter->setPen(selected ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::WindowText));
        PaintText(painter, rect, text, Qt::AlignCenter);
        TrackWidth(type, metrics.horizontalAdvance(text) + 12);
        break;
    }
    case COL_FILE_NAME: {
        painter->fillRect(rect, background);
        const int iconSize = QApplication::style()->pixelMetric(QStyle::PM_SmallIconSize);
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        icon.paint(painter, QRect(rect.left() + kIconLeft, rect.top() + kIconTop, iconSize, iconSize), Qt::AlignCenter,
                   selected ? QIcon::Selected : QIcon::Normal);
        const QRect textRect(rect.left() + iconSize + 6, rect.top(), rect.width() - iconSize - 6, rect.height());
        const QString shown = metrics.elidedText(text, Qt::ElideRight, std::max(textRect.width(), 0));
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
        TrackWidth(type, metrics.horizontalAdvance(text) + 6 + iconSize);
        break;
    }
    case COL_PROGRESS: {
        painter->fillRect(rect, background);
        const auto status = static_cast<DownloadItemStatus>(index.data(CDownloadItemsModel::StatusRole).toInt());
        if (status == DIS_IN_PROGRESS) {
            const QRect bar = rect.adjusted(kInset, kInset, -kInset, -kInset);
            if (bar.width() > 0 && bar.height() > 0) {
                const double fraction = std::clamp(index.data(CDownloadItemsModel::SortKeyRole).toDouble(), 0.0, 1.0);
                painter->fillRect(bar, palette.color(QPalette::Base));
                painter->fillRect(QRect(bar.left(), bar.top(), static_cast<int>(bar.width() * fraction), bar.height()),
                                  kBarColor);
                painter->setPen(palette.color(QPalette::Mid));
                painter->drawRect(bar.adjusted(0, 0, -1, -1));
            }
        } else {
            const int iconSize = 16;
            const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
            icon.paint(painter, QRect(rect.left() + kIconLeft, rect.top() + kIconTop, iconSize, iconSize));
            const QRect textRect(rect.left() + kStatusTextLeft, rect.top(), rect.width() - kStatusTextLeft - kInset,
                                 rect.height());
            const QString shown = metrics.elidedText(text, Qt::ElideRight, std::max(textRect.width(), 0));
            painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
        }
        // Wide enough for any status, whatever this row shows.
        TrackWidth(type, metrics.horizontalAdvance(QStringLiteral("Cancelled-")) + 31);
        break;
    }
    default:
        painter->fillRect(rect, background);
        PaintText(painter, rect, text, CDownloadItemsModel::CellAlignment(type));
        TrackWidth(type, metrics.horizontalAdvance(text) + 6);
        break;
    }

    if ((option.state & QStyle::State_HasFocus) && type == COL_FILE_NAME) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor = background;
        QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
    painter->restore();
}
