#pragma once
class QWidget;

// Makes `window` stay above `owner`'s window without becoming its child: the owner may be
// disabled while the window is open, and a disabled parent would disable its children too.
// Then centres `window` on the owner (if `centreOnOwner` and there is one) or on the screen.
void PlaceOwnedWindow(QWidget* window, QWidget* owner, bool centreOnOwner);
