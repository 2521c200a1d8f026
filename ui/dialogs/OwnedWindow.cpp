#include "ui/dialogs/OwnedWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

void PlaceOwnedWindow(QWidget* window, QWidget* owner, bool centreOnOwner)
{
    window->adjustSize();
    QRect area;
    if (owner) {
        QWidget* ownerWindow = owner->window();
        ownerWindow->winId();
        window->winId();
        if (window->windowHandle() && ownerWindow->windowHandle())
            window->windowHandle()->setTransientParent(ownerWindow->windowHandle());
        if (centreOnOwner)
            area = ownerWindow->frameGeometry();
    }
    if (!area.isValid()) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            area = screen->availableGeometry();
    }
    if (area.isValid()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(area.center());
        window->move(frame.topLeft());
    }
}
