#pragma once
// The download list: a table over the download items model, painted by its delegate, with
// the column header rules of CHeaderMgr and CSpecialHeaderCtrl, sorting by any column, the
// item commands and the idle check for files that have gone.
#include "app/IdleHandler.h"
#include "app/MessageFilter.h"
#include "ui/DownloadItemsView.h"
#include "ui/ParentListView.h"

#include <QTableView>

#include <functional>
#include <memory>
#include <string>

class CDownloadItemsDelegate;
class CDownloadItemsModel;
class CHeaderMgr;
class CSpecialHeaderCtrl;
class IDownloadItemsViewParent;
class PersistSettings;
class QMenu;

class CMirefoldView : public QTableView,
                      public IParentListView,
                      public IDownloadItemsView,
                      public IMessageFilter,
                      public IIdleHandler {
    Q_OBJECT
public:
    // Command ids of the context and column menus (shared with the main window's menus).
    enum Command {
        ID_COPY_RECENT_FIRST = 5020,
        ID_COPY_RECENT_LAST = 5029,
        ID_MOVE_RECENT_FIRST = 5060,
        ID_MOVE_RECENT_LAST = 5069,
        ID_COL_FILE_NAME = 32772,
        ID_COL_PROGRESS = 32773,
        ID_COL_SIZE = 32774,
        ID_COL_SPEED = 32775,
        ID_COL_TRANSFERRED = 32776,
        ID_COL_REMAINING = 32777,
        ID_COL_SOURCE = 32778,
        ID_CANCEL_ALL = 32782,
        ID_COL_ID = 32784,
        ID_OPEN = 32795,
        ID_CANCEL_SELECTED = 32797,
        ID_DOWNLOAD_IN_BROWSER = 32803,
        ID_OPEN_DOWNLOAD_FOLDER = 32804,
        ID_PROPERTIES = 32808,
        ID_COPY_CHOOSE = 32817,
        ID_MOVE_CHOOSE = 32818,
        ID_DELETE = 32824,
    };

    // Tip texts are wrapped to this width.
    static constexpr int kTipMaxWidth = 480;
    // Above this many files a copy or move shows a progress dialog.
    static constexpr int kProgressDialogThreshold = 20;

    // Column settings come from `settings` (may be null: the default layout); the view
    // registers with the current main loop, if there is one.
    CMirefoldView(IDownloadItemsViewParent* parent, PersistSettings* settings, QWidget* parentWidget = nullptr);
    ~CMirefoldView() override;

    // IDownloadItemsView
    bool CanCancelSelected() override;
    bool CanOpenSelected() override;
    bool CanCopyMoveSelected() override;
    bool CanDeleteSelected() override;
    bool CanShowProperties() override;
    bool CanDownloadInBrowser() override;
    void CancelSelected() override;
    void OpenSelected() override;
    void UpdateItems(const std::vector<DownloadItemPtr>& items) override;
    void ClearItems() override;
    void CopySelectedTo(const HELPERS::WinDirectory& folder) override;
    void MoveSelectedTo(const HELPERS::WinDirectory& folder) override;
    void DeleteSelected() override;
    void SetPropertiesItem(std::int32_t id) override { m_propertiesItem = id; }
    void ClearPropertiesItem() override { m_propertiesItem = -1; }
    DownloadItemPtr GetSelectedItem() override;
    DownloadItemPtr SelectPrevItem() override;
    DownloadItemPtr SelectNextItem() override;
    bool HasPrevItem() override;
    bool HasNextItem() override;
    void DownloadSelectedInBrowser() override;
    void SaveHeaderSettings() override;

    // IParentListView
    void OnHeaderRightClick(const QPoint& globalPos) override;
    void OnHeaderClick(int column) override;
    void AutoSizeColumn(int column) override;

    // IMessageFilter: never claims anything.
    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    // IIdleHandler: completed items whose file has gone turn Deleted.
    bool OnIdle() override;

    // Carries out a menu command.
    void OnCommand(int id);
    // The menus as they would pop up now; the caller owns them.
    QMenu* BuildContextMenu();
    QMenu* BuildColumnMenu();

    // The hover tip of a row: the item's info text, wrapped to kTipMaxWidth.
    QString TipText(int row) const;

    // How items and addresses are opened (xdg-open); tests replace it. Throws on failure.
    using ShellOpen = std::function<void(const std::string& path)>;
    void SetShellOpen(ShellOpen open) { m_shellOpen = std::move(open); }

    CDownloadItemsModel* ItemsModel() const { return m_model; }
    CDownloadItemsDelegate* ItemsDelegate() const { return m_delegate; }
    CHeaderMgr& HeaderMgr() const { return *m_headerMgr; }
    CSpecialHeaderCtrl* HeaderCtrl() const { return m_header; }
    int SortType() const { return m_sortType; }
    bool SortAscending() const { return m_sortAscending; }
    // The sort column's index among the shown columns.
    int SortPosition() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    std::vector<DownloadItemPtr> SelectedItems() const;
    std::vector<int> SelectedRows() const;
    bool AllSelectedCompleted() const;
    void Sort();
    void ShowSortArrow();
    void ToggleColumn(int type);
    DownloadItemPtr SelectRow(int from, int to);
    // Copies or moves the saved files of the selection into the folder.
    void TransferSelectedTo(const HELPERS::WinDirectory& folder, bool move);

    IDownloadItemsViewParent* m_parent;
    PersistSettings* m_settings;
    CDownloadItemsModel* m_model;
    CDownloadItemsDelegate* m_delegate;
    CSpecialHeaderCtrl* m_header;
    std::unique_ptr<CHeaderMgr> m_headerMgr;
    int m_sortType = 0;
    bool m_sortAscending = true;
    std::int32_t m_propertiesItem = -1;
    ShellOpen m_shellOpen;
};
