#include "ui/dialogs/OwnedWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

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
        // An owner larger than its screen must not push the window off it.
        QScreen* screen = QGuiApplication::screenAt(area.center());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen) {
            const QRect available = screen->availableGeometry();
            frame.moveLeft(std::max(available.left(), std::min(frame.left(), available.right() - frame.width() + 1)));
            frame.moveTop(std::max(available.top(), std::min(frame.top(), available.bottom() - frame.height() + 1)));
        }
        window->move(frame.topLeft());
    }
}
