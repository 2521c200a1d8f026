#pragma once
// A download list in a window of its own, fed with hand-made items, and a parent that
// records what the list asks of it.
#include "ScriptedPrompts.h"
#include "config/PersistSettings.h"
#include "ui/DownloadItemsModel.h"
#include "ui/DownloadItemsViewParent.h"
#include "ui/MirefoldView.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qtest {

class CRecordingParent : public IDownloadItemsViewParent {
public:
    void OpenDownloadFolder() override { m_calls.push_back("OpenDownloadFolder"); }
    void ShowItemProperties() override { m_calls.push_back("ShowItemProperties"); }
    bool IsJobRunning() override { return m_jobRunning; }
    void CancelItems(const std::vector<std::int32_t>& ids) override { m_cancelled = ids; }
    void CancelAllDownloads() override { m_calls.push_back("CancelAllDownloads"); }
    void AddRecentCopyMoveFolder(const std::string& path) override { m_recentFolders.push_back(path); }
    void FillCopyRecentFoldersMenu(QMenu*) override { m_calls.push_back("FillCopy"); }
    void FillMoveRecentFoldersMenu(QMenu*) override { m_calls.push_back("FillMove"); }
    void CopyToRecentFolder(int id) override { m_calls.push_back("CopyToRecentFolder " + std::to_string(id)); }
    void MoveToRecentFolder(int id) override { m_calls.push_back("MoveToRecentFolder " + std::to_string(id)); }
    void CopyToChosenFolder() override { m_calls.push_back("CopyToChosenFolder"); }
    void MoveToChosenFolder() override { m_calls.push_back("MoveToChosenFolder"); }
    void ShowItemInPropertiesDlg(const DownloadItemPtr& item) override { m_propertiesShown.push_back(item); }

    bool m_jobRunning = false;
    std::vector<std::string> m_calls;
    std::vector<std::int32_t> m_cancelled;
    std::vector<std::string> m_recentFolders;
    std::vector<DownloadItemPtr> m_propertiesShown;
};

// An item as the engine would hand it over.
inline DownloadItemPtr MakeItem(std::int32_t id, const std::string& name, DownloadItemStatus status,
                                std::int64_t size = 0, std::int64_t transferred = 0)
{
    auto item = std::make_shared<CDownloadItem>();
    item->SetId(id);
    item->SetFileName(name);
    item->SetURL("http://files.example/" + name);
    item->SetFileSize(size);
    item->SetBytesTransferred(transferred);
    item->SetStatus(status);
    item->SetStatusInfo(DownloadItemStatusLabel(status));
    return item;
}

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestPrompts().Reset();
        m_view = std::make_unique<CMirefoldView>(&m_parent, &m_settings);
        m_view->resize(900, 400);
        m_view->SetShellOpen([this](const std::string& path) {
            if (path.find("unopenable") != std::string::npos)
                throw std::runtime_error("no program");
            m_opened.push_back(path);
        });
    }

    // The view rebuilt from the settings, as at the next start.
    void Rebuild() { m_view = std::make_unique<CMirefoldView>(&m_parent, &m_settings); }

    std::vector<std::int32_t> IdsInOrder() const
    {
        std::vector<std::int32_t> ids;
        for (const DownloadItemPtr& item : m_view->ItemsModel()->Rows())
            ids.push_back(item->GetId());
        return ids;
    }

    std::string Cell(int row, int type) const
    {
        return m_view->ItemsModel()->index(row, type).data().toString().toStdString();
    }

    void SelectIds(const std::vector<std::int32_t>& ids)
    {
        m_view->clearSelection();
        for (std::int32_t id : ids)
            m_view->selectionModel()->select(m_view->ItemsModel()->index(m_view->ItemsModel()->RowOfId(id), 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    std::vector<std::int32_t> SelectedIds() const
    {
        std::vector<std::int32_t> ids;
        for (const QModelIndex& index : m_view->selectionModel()->selectedRows())
            ids.push_back(m_view->ItemsModel()->Item(index.row())->GetId());
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    CRecordingParent m_parent;
    PersistSettings m_settings;
    std::unique_ptr<CMirefoldView> m_view;
    std::vector<std::string> m_opened;
};

} // namespace qtest
