#pragma once
// Paints the download list's cells: the Id cell on the button face, the file icon and
// name, right-aligned byte counts, and in the Progress column a bar for items in progress
// or the status icon and text for the others. While painting it tracks the widest content
// of each column type, so that auto-sizing a column needs no measuring pass.
#include "ui/ColumnType.h"

#include <QStyledItemDelegate>

#include <array>

class CDownloadItemsDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // The bar's fill colour.
    static const QColor kBarColor;
    // Inset of the bar and of cell texts.
    static constexpr int kInset = 3;

    explicit CDownloadItemsDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    int ContentWidth(int type) const { return m_contentWidths[static_cast<std::size_t>(type)]; }
    // Id 28, the others 5: the widths before anything was drawn.
    void ResetContentWidths();
    // Raises the tracked width of the type to `width`.
    void TrackWidth(int type, int width) const;

    // Row height: the small icon height plus 5.
    static int RowHeight();

private:
    void PaintText(QPainter* painter, const QRect& rect, const QString& text, Qt::Alignment alignment) const;

    mutable std::array<int, COL_COUNT> m_contentWidths{};
};
