#pragma once
#include "engine/DownloadItem.h"

// What the item properties dialog asks of the window that opened it (the main frame, which
// passes each call on to the download list).
class IDIPropDlgClient {
public:
    virtual ~IDIPropDlgClient() = default;
    // The dialog is closing.
    virtual void OnPropDlgClosed() = 0;
    // Moves the list's selection one row up or down; the newly selected item, or empty when
    // there is no such row.
    virtual DownloadItemPtr SelectPrevItem() = 0;
    virtual DownloadItemPtr SelectNextItem() = 0;
    virtual bool HasPrevItem() = 0;
    virtual bool HasNextItem() = 0;
    // Opens or cancels the selected item.
    virtual void OpenItem() = 0;
    virtual void CancelItem() = 0;
};
