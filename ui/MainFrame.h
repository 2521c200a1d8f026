#pragma once
// The program's one top-level window: menu bar, toolbar, address bar, the download list and
// the status bar. It owns the download controller, the live options and the remembered
// settings, turns commands into calls on the controller and the list, and runs the page
// request as a small state machine driven by the refresh timer. Everything here runs on the
// user-interface thread; the controller's worker is only ever polled.
#include "app/CommandLine.h"
#include "app/IdleHandler.h"
#include "app/MessageFilter.h"
#include "config/ConfigOptions.h"
#include "config/PersistSettings.h"
#include "helpers/RegistryValues.h"
#include "ui/DownloadItemsViewParent.h"
#include "ui/FrameJobState.h"
#include "ui/RefreshTimerCallbackClient.h"
#include "ui/ReturnCallback.h"
#include "ui/dialogs/DIPropDlgClient.h"
#include "ui/dialogs/OptionsDlgCallbackClient.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <string>

class CAddressbarTB;
class CDIPropsDlg;
class CMainStatusBar;
class CMirefoldView;
class COptionsDlg;
class IOmbrex;
class QAction;
class QMenu;
class QToolBar;
class QToolButton;

class CMainFrame : public QMainWindow,
                   public IMessageFilter,
                   public IIdleHandler,
                   public IReturnCallback,
                   public IRefreshTimerCallbackClient,
                   public IOptionsDlgCallbackClient,
                   public IDownloadItemsViewParent,
                   public IDIPropDlgClient {
    Q_OBJECT
public:
    // Command ids, shared by the menus, the toolbar, the accelerators and the list.
    enum Command {
        ID_CHOOSE_DOWNLOAD_FOLDER = 1001,
        ID_COPY_RECENT_FIRST = 5020,
        ID_MOVE_RECENT_FIRST = 5060,
        ID_DOWNLOAD_FOLDER_FIRST = 5070,
        ID_DOWNLOAD_FOLDER_LAST = 5084,
        ID_GOTO_URL = 32779,
        ID_FOCUS_ADDRESS = 32780,
        ID_CANCEL_ALL = 32782,
        ID_OPEN = 32795,
        ID_CANCEL_SELECTED = 32797,
        ID_DOWNLOAD_IN_BROWSER = 32803,
        ID_OPEN_DOWNLOAD_FOLDER = 32804,
        ID_PROPERTIES = 32808,
        ID_HELP_CONTENTS = 32811,
        ID_CHECK_UPDATES = 32812,
        ID_OPTIONS = 32815,
        ID_COPY_CHOOSE = 32817,
        ID_MOVE_CHOOSE = 32818,
        ID_DELETE = 32824,
        ID_FILE_NEW = 57600,
        ID_APP_ABOUT = 57664,
        ID_APP_EXIT = 57665,
        ID_VIEW_TOOLBAR = 59392,
        ID_VIEW_STATUS_BAR = 59393,
    };

    static constexpr int kMaxRecentSites = 20;
    static constexpr int kMaxRecentCopyMoveFolders = 10;
    static constexpr const char* kHelpFileKey = HELPERS::kHelpFilePathValue;
    // On the maker's site (kMakerSite).
    static constexpr const char* kUpdatesPath = "/quarrow/updates.php?ver=1.2.0.1&referer=quarrow_update";

    // Builds the whole window, loads the options and settings and acts on the start-up
    // values (an address starts at once, or after the Options dialog with -o).
    explicit CMainFrame(const StartupValues& startup);
    ~CMainFrame() override;

    // How folders, the help file and addresses are opened (xdg-open); tests replace it.
    // Throws HELPERS::WException on failure.
    using ShellOpen = std::function<void(const std::string& target)>;
    void SetShellOpen(ShellOpen open) { m_shellOpen = std::move(open); }

    // IReturnCallback
    void OnReturn() override { GotoAddress(); }

    // IRefreshTimerCallbackClient
    void OnRefreshTimer() override;
    bool IsRefreshNeeded() override { return IsJobState(m_jobState); }

    // IOptionsDlgCallbackClient
    void OnOptionsDlgClosed() override;
    bool CanApplyOptions() override { return m_jobState == FJS_READY; }
    void ApplyOptions() override;

    // IDownloadItemsViewParent
    void OpenDownloadFolder() override;
    // Opens the properties dialog on the one selected item; the frame is disabled meanwhile.
    void ShowItemProperties() override;
    bool IsJobRunning() override { return m_jobState == FJS_REQUESTING_PAGE || m_jobState == FJS_DOWNLOADING; }
    void CancelItems(const std::vector<std::int32_t>& ids) override;
    void CancelAllDownloads() override;
    void AddRecentCopyMoveFolder(const std::string& path) override;
    void FillCopyRecentFoldersMenu(QMenu* menu) override;
    void FillMoveRecentFoldersMenu(QMenu* menu) override;
    void CopyToRecentFolder(int commandId) override;
    void MoveToRecentFolder(int commandId) override;
    void CopyToChosenFolder() override;
    void MoveToChosenFolder() override;
    void ShowItemInPropertiesDlg(const DownloadItemPtr& item) override;

    // IDIPropDlgClient: all but the close go to the list.
    void OnPropDlgClosed() override;
    DownloadItemPtr SelectPrevItem() override;
    DownloadItemPtr SelectNextItem() override;
    bool HasPrevItem() override;
    bool HasNextItem() override;
    void OpenItem() override;
    void CancelItem() override;

    // IMessageFilter: the list's own filter; the accelerators are the actions' shortcuts.
    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    // IIdleHandler: enables the commands from the list's selection, shows the job state.
    bool OnIdle() override;

    // Starts a retrieval of the address bar's text, or offers to cancel the running job
    // and retrieve afterwards.
    void GotoAddress();
    // Carries out the command `id` as its menu item, button or accelerator would.
    void OnCommand(int id);

    // The status bar's recent download folders menu as it would pop up now; caller owns it.
    QMenu* BuildDownloadFolderMenu();
    // The toolbar's Copy (32817) or Move (32818) drop-down as it would pop up now.
    QMenu* BuildCopyMoveDropDown(int chooseId);
    void ChooseDownloadFolder();

    int JobState() const { return m_jobState; }
    QAction* Action(int id) const;
    // The resource path of the command's toolbar picture, or null when it has none.
    static const char* ToolIconPath(int id);
    QMenu* ActionsMenu() const { return m_actionsMenu; }
    QMenu* CopyMenu() const { return m_copyMenu; }
    QMenu* MoveMenu() const { return m_moveMenu; }
    QToolBar* MainToolBar() const { return m_toolBar; }
    CAddressbarTB* AddressBar() const { return m_addressBar; }
    CMirefoldView* View() const { return m_view; }
    CMainStatusBar* StatusBarParts() const { return m_statusBar; }
    COptionsDlg* OptionsDlg() const { return m_optionsDlg.get(); }
    CDIPropsDlg* PropsDlg() const { return m_propsDlg.get(); }
    bool IsPropsDlgOpen() const { return m_propsDlgOpen; }
    const ConfigOptions& Options() const { return m_options; }
    const PersistSettings& Settings() const { return m_settings; }
    bool IsDestroyed() const { return m_destroyed; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddCommand(int id, const QString& label, const char* shortcut = nullptr);
    void CreateMenus();
    void CreateToolBar();
    void AttachDropDown(int chooseId);
    void LoadConfiguration();
    void FitWidthToColumns();
    void ApplyStartupValues(const StartupValues& startup);
    void FillRecentFoldersMenu(QMenu* menu, int firstId);
    void TransferToRecentFolder(int commandId, int firstId, bool move);
    void TransferToChosenFolder(bool move);
    // By value: the folder may come from the recent list that this reorders.
    void SetDownloadFolder(std::string folder);
    void AddRecentSite(const std::string& address);
    void OpenOptionsDialog();
    void OpenHelp();
    void OpenUpdatesPage();
    void OpenAboutBox();
    void ToggleToolBar();
    void ToggleStatusBar();
    // Cancels the running job and waits for the cancel with the window disabled.
    void BeginCancel(int pageState, int downloadState);
    void RefreshView(bool full);
    void Restore();
    void StopTimer();
    // Saves everything, drops the controller and ends the main loop; once only.
    void Destroy();

    PersistSettings m_settings;
    ConfigOptions m_options;
    std::unique_ptr<IOmbrex> m_ombrex;
    std::shared_ptr<COptionsDlg> m_optionsDlg;
    // Kept after the dialog closes, until the next Properties command or the frame goes.
    std::shared_ptr<CDIPropsDlg> m_propsDlg;
    std::map<int, QAction*> m_actions;
    QMenu* m_actionsMenu = nullptr;
    QMenu* m_copyMenu = nullptr;
    QMenu* m_moveMenu = nullptr;
    QToolBar* m_toolBar = nullptr;
    CAddressbarTB* m_addressBar = nullptr;
    CMirefoldView* m_view = nullptr;
    CMainStatusBar* m_statusBar = nullptr;
    ShellOpen m_shellOpen;
    int m_jobState = FJS_READY;
    bool m_toolBarVisible = true;
    bool m_optionsDlgAtStartup = false;
    bool m_optionsApplied = false;
    bool m_propsDlgOpen = false;
    bool m_destroyed = false;
};
