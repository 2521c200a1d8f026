#pragma once
class QPoint;

// What the download list's header asks of its view. Columns are given by their type
// (the model column), which stays the same whatever is hidden or dragged.
class IParentListView {
public:
    virtual ~IParentListView() = default;
    virtual void OnHeaderRightClick(const QPoint& globalPos) = 0;
    virtual void OnHeaderClick(int column) = 0;
    virtual void AutoSizeColumn(int column) = 0;
};
