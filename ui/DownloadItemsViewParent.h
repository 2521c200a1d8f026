#pragma once
// What the download list asks of the window that holds it (the main window).
#include "engine/DownloadItem.h"

#include <cstdint>
#include <string>
#include <vector>

class QMenu;

class IDownloadItemsViewParent {
public:
    virtual ~IDownloadItemsViewParent() = default;
    virtual void OpenDownloadFolder() = 0;
    virtual void ShowItemProperties() = 0;
    // True while a job runs (enables "Cancel All").
    virtual bool IsJobRunning() = 0;
    virtual void CancelItems(const std::vector<std::int32_t>& ids) = 0;
    virtual void CancelAllDownloads() = 0;
    virtual void AddRecentCopyMoveFolder(const std::string& path) = 0;
    virtual void FillCopyRecentFoldersMenu(QMenu* menu) = 0;
    virtual void FillMoveRecentFoldersMenu(QMenu* menu) = 0;
    virtual void CopyToRecentFolder(int commandId) = 0;
    virtual void MoveToRecentFolder(int commandId) = 0;
    virtual void CopyToChosenFolder() = 0;
    virtual void MoveToChosenFolder() = 0;
    // Called only while the properties dialog is open, with the newest data of its item.
    virtual void ShowItemInPropertiesDlg(const DownloadItemPtr& item) = 0;
};
