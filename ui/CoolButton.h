#pragma once
// A push button that pops up its own menu, drawn by the style with the menu arrow. The
// dialog that owns it fills the menu (usually anew from aboutToShow); the chosen entry's
// id arrives through menuCommand.
#include <QToolButton>

class QMenu;

class CCoolButton : public QToolButton {
    Q_OBJECT
public:
    enum MenuItemFlags {
        MIF_ENABLED = 0,
        MIF_GRAYED = 1,
        MIF_CHECKED = 2,
    };

    explicit CCoolButton(const QString& text, QWidget* parent = nullptr);

    // Appends an entry; `flags` combines MenuItemFlags. Returns its action (data: `id`).
    QAction* AppendMenuItem(int id, const QString& text, int flags = MIF_ENABLED);
    void ClearMenu();
    QMenu* PopupMenu() const { return m_menu; }

signals:
    void menuCommand(int id);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QMenu* m_menu;
};
