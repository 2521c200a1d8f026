#pragma once
// The download list's header: forwards clicks, right clicks and divider double clicks to
// the view, keeps the Id column at its width, and keeps Id and File Name in the first two
// places when columns are dragged, and draws the program's own sort arrow.
#include <QHeaderView>
#include <QIcon>

class IParentListView;

class CSpecialHeaderCtrl : public QHeaderView {
    Q_OBJECT
public:
    CSpecialHeaderCtrl(IParentListView* view, QWidget* parent);

    // Whether a drag may leave the column of this type at this place among the shown
    // columns (0 is the first).
    static bool IsDragAllowed(int type, int newShownPlace);

    // The column whose right divider lies at x (viewport coordinates), or -1.
    int DividerAt(int x) const;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logical) const override;

private:
    void OnSectionMoved(int logical, int oldVisual, int newVisual);
    int ShownPlace(int logical) const;

    IParentListView* m_view;
    bool m_reverting = false;
    QIcon m_sortUp;
    QIcon m_sortDown;
};
