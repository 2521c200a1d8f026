#include "ui/CoolButton.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>

CCoolButton::CCoolButton(const QString& text, QWidget* parent) : QToolButton(parent), m_menu(new QMenu(this))
{
    setText(text);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setPopupMode(QToolButton::InstantPopup);
    setFocusPolicy(Qt::StrongFocus);
    setMenu(m_menu);
    // The style puts the menu arrow in the corner; keep it clear of the caption.
    setMinimumWidth(sizeHint().width() + fontMetrics().averageCharWidth() * 2);
    connect(m_menu, &QMenu::triggered, this, [this](QAction* action) { emit menuCommand(action->data().toInt()); });
}

QAction* CCoolButton::AppendMenuItem(int id, const QString& text, int flags)
{
    QAction* action = m_menu->addAction(text);
    action->setData(id);
    if (flags & MIF_CHECKED) {
        action->setCheckable(true);
        action->setChecked(true);
    }
    action->setEnabled(!(flags & MIF_GRAYED));
    return action;
}

void CCoolButton::ClearMenu() { m_menu->clear(); }

void CCoolButton::keyPressEvent(QKeyEvent* event)
{
    // Alt+Down opens the menu, as it opens a combo box's list.
    if (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier)) {
        showMenu();
        event->accept();
        return;
    }
    QToolButton::keyPressEvent(event);
}
