#pragma once
// How the main window drives the download list.
#include "engine/DownloadItem.h"
#include "helpers/WinDirectory.h"

#include <cstdint>
#include <vector>

class IDownloadItemsView {
public:
    virtual ~IDownloadItemsView() = default;
    // At least one row selected, every selected item queued or in progress.
    virtual bool CanCancelSelected() = 0;
    // At least one row selected, every selected item completed.
    virtual bool CanOpenSelected() = 0;
    virtual bool CanCopyMoveSelected() = 0;
    virtual bool CanDeleteSelected() = 0;
    // Exactly one row selected.
    virtual bool CanShowProperties() = 0;
    virtual bool CanDownloadInBrowser() = 0;
    virtual void CancelSelected() = 0;
    virtual void OpenSelected() = 0;
    // Merges the items into the rows by id, appends new ones and re-sorts.
    virtual void UpdateItems(const std::vector<DownloadItemPtr>& items) = 0;
    virtual void ClearItems() = 0;
    virtual void CopySelectedTo(const HELPERS::WinDirectory& folder) = 0;
    virtual void MoveSelectedTo(const HELPERS::WinDirectory& folder) = 0;
    virtual void DeleteSelected() = 0;
    virtual void SetPropertiesItem(std::int32_t id) = 0;
    virtual void ClearPropertiesItem() = 0;
    virtual DownloadItemPtr GetSelectedItem() = 0;
    virtual DownloadItemPtr SelectPrevItem() = 0;
    virtual DownloadItemPtr SelectNextItem() = 0;
    virtual bool HasPrevItem() = 0;
    virtual bool HasNextItem() = 0;
    virtual void DownloadSelectedInBrowser() = 0;
    virtual void SaveHeaderSettings() = 0;
};
