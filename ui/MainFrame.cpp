#include "ui/MainFrame.h"

#include "app/MainLoop.h"
#include "engine/Ombrex.h"
#include "helpers/AsciiText.h"
#include "helpers/Registry.h"
#include "helpers/ShellCommand.h"
#include "helpers/WException.h"
#include "ui/AddressbarTB.h"
#include "ui/MainStatusBar.h"
#include "ui/MakerSite.h"
#include "ui/MirefoldView.h"
#include "ui/Prompts.h"
#include "ui/RecentEntries.h"
#include "ui/TimerManager.h"
#include "ui/dialogs/AboutDlg.h"
#include "ui/dialogs/DIPropsDlg.h"
#include "ui/dialogs/OptionsDlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QIcon>
#include <QMenu>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace {

QString Qs(const std::string& text) { return QString::fromStdString(text); }

// The command a menu choice stands for, or 0.
int CommandOf(const QAction* action) { return action ? action->data().toInt() : 0; }

QAction* AddItem(QMenu* menu, const QString& label, int id, bool enabled = true)
{
    QAction* action = menu->addAction(label);
    action->setData(id);
    action->setEnabled(enabled);
    return action;
}

// The status bar help and the toolbar tip of each command, split at the line break.
struct CommandHelp {
    int id;
    const char* text;
};
const CommandHelp kCommandHelp[] = {
    {CMainFrame::ID_GOTO_URL, "Go to URL\nGo to URL"},
    {CMainFrame::ID_CANCEL_ALL, "Cancel all downloads\nCancel all downloads"},
    {CMainFrame::ID_OPEN, "Open selected item(s)\nOpen selected"},
    {CMainFrame::ID_CANCEL_SELECTED, "Cancel selected\nCancel selected"},
    {CMainFrame::ID_DOWNLOAD_IN_BROWSER, "Download using browser\nOpen in browser"},
    {CMainFrame::ID_OPEN_DOWNLOAD_FOLDER, "Open download folder\nOpen download folder"},
    {CMainFrame::ID_PROPERTIES, "Show properties\nShow properties"},
    {CMainFrame::ID_HELP_CONTENTS, "Open Help\nHelp"},
    {CMainFrame::ID_OPTIONS, "Display options dialog\nEdit options"},
    {CMainFrame::ID_COPY_CHOOSE, "Copy item(s) to another folder\nCopy item(s) to folder"},
    {CMainFrame::ID_MOVE_CHOOSE, "Move item(s) to another folder\nMove item(s) to folder"},
    {CMainFrame::ID_DELETE, "Delete selected\nDelete selected"},
    {CMainFrame::ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
    {CMainFrame::ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
    {CMainFrame::ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    {CMainFrame::ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
};

// The toolbar's pictures: always the program's own, so that they share one style whatever
// the desktop theme is.
struct ToolIcon {
    int id;
    const char* path;
};
const ToolIcon kToolIcons[] = {
    {CMainFrame::ID_OPTIONS, ":/icons/options.svg"},
    {CMainFrame::ID_OPEN, ":/icons/open.svg"},
    {CMainFrame::ID_CANCEL_SELECTED, ":/icons/cancel-selected.svg"},
    {CMainFrame::ID_CANCEL_ALL, ":/icons/cancel-all.svg"},
    {CMainFrame::ID_COPY_CHOOSE, ":/icons/copy-to-folder.svg"},
    {CMainFrame::ID_MOVE_CHOOSE, ":/icons/move-to-folder.svg"},
    {CMainFrame::ID_DELETE, ":/icons/delete.svg"},
    {CMainFrame::ID_DOWNLOAD_IN_BROWSER, ":/icons/download-in-browser.svg"},
    {CMainFrame::ID_PROPERTIES, ":/icons/properties.svg"},
    {CMainFrame::ID_OPEN_DOWNLOAD_FOLDER, ":/icons/open-download-folder.svg"},
    {CMainFrame::ID_HELP_CONTENTS, ":/icons/help.svg"},
};

bool EqualsIgnoringCase(const std::string& a, const std::string& b)
{
    return Qs(a).compare(Qs(b), Qt::CaseInsensitive) == 0;
}

std::string WithTrailingSeparator(std::string path)
{
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

} // namespace

CMainFrame::CMainFrame(const StartupValues& startup)
    : m_shellOpen([](const std::string& target) { HELPERS::ExecuteShellCommand(nullptr, "open", target, "", "", 1); })
{
    setWindowTitle(QStringLiteral("Quarrow"));
    m_ombrex = CreateOmbrex();
    CreateMenus();
    CreateToolBar();

    m_addressBar = new CAddressbarTB(this, this);
    m_addressBar->setMovable(false);
    addToolBarBreak();
    addToolBar(m_addressBar);
    m_actions[ID_GOTO_URL] = m_addressBar->GoAction();
    connect(m_addressBar->GoAction(), &QAction::triggered, this, [this] { GotoAddress(); });

    m_statusBar = new CMainStatusBar(this);
    setStatusBar(m_statusBar);
    connect(m_statusBar, &CMainStatusBar::folderMenuRequested, this, [this](const QPoint& pos) {
        std::unique_ptr<QMenu> menu(BuildDownloadFolderMenu());
        if (const int id = CommandOf(menu->exec(pos)))
            OnCommand(id);
    });
    connect(m_statusBar, &CMainStatusBar::folderDoubleClicked, this, [this] { ChooseDownloadFolder(); });

    resize(900, 560);
    LoadConfiguration();

    m_view = new CMirefoldView(this, &m_settings, this);
    setCentralWidget(m_view);
    if (m_settings.m_frameWinPos.IsEmpty())
        FitWidthToColumns();

    if (CMainLoop* loop = CMainLoop::Current()) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
    }
    if (CTimerManager* timer = CTimerManager::GetInstance())
        timer->SetClient(this);

    ApplyStartupValues(startup);
}

CMainFrame::~CMainFrame() { Destroy(); }

QAction* CMainFrame::Action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

const char* CMainFrame::ToolIconPath(int id)
{
    for (const ToolIcon& icon : kToolIcons)
        if (icon.id == id)
            return icon.path;
    return nullptr;
}

QAction* CMainFrame::AddCommand(int id, const QString& label, const char* shortcut)
{
    auto* action = new QAction(label, this);
    action->setData(id);
    for (const CommandHelp& help : kCommandHelp)
        if (help.id == id) {
            const QStringList parts = QString::fromUtf8(help.text).split(QLatin1Char('\n'));
            action->setStatusTip(parts.value(0));
            action->setToolTip(parts.value(1));
        }
    if (const char* icon = ToolIconPath(id))
        action->setIcon(QIcon(QString::fromLatin1(icon)));
    if (shortcut)
        action->setShortcut(QKeySequence(QString::fromUtf8(shortcut)));
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions[id] = action;
    return action;
}

void CMainFrame::CreateMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->addAction(AddCommand(ID_OPTIONS, QStringLiteral("O&ptions...\tAlt+O"), "Alt+O"));
    file->addSeparator();
    file->addAction(AddCommand(ID_APP_EXIT, QStringLiteral("E&xit")));

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    for (const int id : {int(ID_VIEW_TOOLBAR), int(ID_VIEW_STATUS_BAR)}) {
        QAction* toggle =
            AddCommand(id, id == ID_VIEW_TOOLBAR ? QStringLiteral("&Toolbar") : QStringLiteral("&Status Bar"));
        toggle->setCheckable(true);
        toggle->setChecked(true);
        view->addAction(toggle);
    }

    m_actionsMenu = bar->addMenu(QStringLiteral("&Actions"));
    QMenu* actions = m_actionsMenu;
    actions->addAction(AddCommand(ID_OPEN, QStringLiteral("&Open\tEnter")));
    actions->addSeparator();
    actions->addAction(AddCommand(ID_CANCEL_SELECTED, QStringLiteral("Cancel &Selected")));
    actions->addAction(AddCommand(ID_CANCEL_ALL, QStringLiteral("Cancel &All")));
    actions->addSeparator();
    m_copyMenu = actions->addMenu(QStringLiteral("Cop&y to Folder"));
    m_copyMenu->addAction(AddCommand(ID_COPY_CHOOSE, QStringLiteral("Ch&oose Folder")));
    m_moveMenu = actions->addMenu(QStringLiteral("&Move to Folder"));
    m_moveMenu->addAction(AddCommand(ID_MOVE_CHOOSE, QStringLiteral("Ch&oose Folder")));
    actions->addAction(AddCommand(ID_DELETE, QStringLiteral("&Delete\tDel")));
    actions->addSeparator();
    actions->addAction(AddCommand(ID_DOWNLOAD_IN_BROWSER, QStringLiteral("Download Using &Browser\tCtrl+B"), "Ctrl+B"));
    actions->addSeparator();
    actions->addAction(AddCommand(ID_PROPERTIES, QStringLiteral("P&roperties\tF4"), "F4"));
    actions->addSeparator();
    actions->addAction(AddCommand(ID_OPEN_DOWNLOAD_FOLDER, QStringLiteral("Open &Download Folder\tCtrl+D"), "Ctrl+D"));
    // The recent folders are read afresh each time the menu opens.
    connect(actions, &QMenu::aboutToShow, this, [this] {
        FillCopyRecentFoldersMenu(m_copyMenu);
        FillMoveRecentFoldersMenu(m_moveMenu);
    });
    // The recent-folder entries are made per opening and carry only their id; the shared
    // commands run from their own actions.
    connect(actions, &QMenu::triggered, this, [this](QAction* chosen) {
        const int id = CommandOf(chosen);
        if (id >= ID_COPY_RECENT_FIRST && id < ID_MOVE_RECENT_FIRST + kMaxRecentCopyMoveFolders)
            OnCommand(id);
    });

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->addAction(AddCommand(ID_HELP_CONTENTS, QStringLiteral("&Help Contents...\tF1"), "F1"));
    help->addAction(AddCommand(ID_CHECK_UPDATES, QStringLiteral("Chec&k for Updates")));
    help->addSeparator();
    help->addAction(AddCommand(ID_APP_ABOUT, QStringLiteral("&About Tandrel...")));

    // Alt+D has no menu item; the window itself carries it.
    addAction(AddCommand(ID_FOCUS_ADDRESS, QStringLiteral("Address"), "Alt+D"));
}

void CMainFrame::CreateToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("mainToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setIconSize(QSize(16, 16));
    const int layout[] = {ID_OPTIONS,
                          0,
                          ID_OPEN,
                          0,
                          ID_CANCEL_SELECTED,
                          ID_CANCEL_ALL,
                          0,
                          ID_COPY_CHOOSE,
                          ID_MOVE_CHOOSE,
                          ID_DELETE,
                          0,
                          ID_DOWNLOAD_IN_BROWSER,
                          0,
                          ID_PROPERTIES,
                          0,
                          ID_OPEN_DOWNLOAD_FOLDER,
                          0,
                          ID_HELP_CONTENTS};
    for (const int id : layout) {
        if (id == 0)
            m_toolBar->addSeparator();
        else
            m_toolBar->addAction(m_actions.at(id));
    }
    AttachDropDown(ID_COPY_CHOOSE);
    AttachDropDown(ID_MOVE_CHOOSE);
}

void CMainFrame::AttachDropDown(int chooseId)
{
    auto* button = qobject_cast<QToolButton*>(m_toolBar->widgetForAction(m_actions.at(chooseId)));
    if (!button)
        return;
    auto* menu = new QMenu(button);
    connect(menu, &QMenu::aboutToShow, this, [this, menu, chooseId] {
        menu->clear();
        std::unique_ptr<QMenu> built(BuildCopyMoveDropDown(chooseId));
        for (QAction* item : built->actions()) {
            built->removeAction(item);
            item->setParent(menu);
            menu->addAction(item);
        }
    });
    connect(menu, &QMenu::triggered, this, [this](QAction* chosen) {
        if (const int id = CommandOf(chosen))
            OnCommand(id);
    });
    button->setMenu(menu);
    button->setPopupMode(QToolButton::MenuButtonPopup);
}

QMenu* CMainFrame::BuildCopyMoveDropDown(int chooseId)
{
    const bool copy = chooseId == ID_COPY_CHOOSE;
    auto* menu = new QMenu(this);
    AddItem(menu, copy ? QStringLiteral("Choose Folder (Copy)") : QStringLiteral("Choose Folder (Move)"), chooseId);
    const auto& folders = m_settings.m_recentCopyMoveFolders;
    if (!folders.empty())
        menu->addSeparator();
    const int firstId = copy ? ID_COPY_RECENT_FIRST : ID_MOVE_RECENT_FIRST;
    for (std::size_t i = 0; i < folders.size() && i < std::size_t(kMaxRecentCopyMoveFolders); ++i)
        AddItem(menu, Qs(folders[i]), firstId + int(i));
    return menu;
}

void CMainFrame::LoadConfiguration()
{
    try {
        m_options.Restore(nullptr);
        m_options.m_bModified = false;
    } catch (const HELPERS::WException& e) {
        Prompts().ShowError(
            this, Qs(std::string("Could not load configuration options!  Using defaults.\n") + "Error is: " + e.what()),
            QStringLiteral("Error loading configuration options"));
    }
    m_statusBar->SetFolderText(Qs(m_options.m_downloadFolder.GetPath()));

    try {
        m_settings.Restore(nullptr);
        for (const std::string& site : m_settings.m_recentSites)
            m_addressBar->AddString(Qs(site));
        const PersistSettings::Rect& r = m_settings.m_frameWinPos;
        if (!r.IsEmpty())
            setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
    } catch (...) {
        // A damaged settings file only costs the remembered layout.
    }
    AddRecentDownloadFolder(m_options.m_downloadFolder.GetPath(), m_settings);
}

void CMainFrame::FitWidthToColumns()
{
    // A first start shows every column without scrolling, as far as the screen allows.
    const int wanted = m_view->horizontalHeader()->length() + m_view->verticalHeader()->sizeHint().width() +
                       m_view->verticalScrollBar()->sizeHint().width() + 2 * m_view->frameWidth() + 8;
    const QScreen* screen = this->screen();
    const int available = screen ? screen->availableGeometry().width() * 9 / 10 : wanted;
    resize(std::max(width(), std::min(wanted, available)), height());
}

void CMainFrame::ApplyStartupValues(const StartupValues& startup)
{
    if (startup.CommandLineFailed || startup.StartupURL.empty())
        return;
    m_addressBar->SetText(Qs(startup.StartupURL));
    if (startup.ShowOptionsDlgOnStartup) {
        m_optionsDlgAtStartup = true;
        OpenOptionsDialog();
    } else {
        GotoAddress();
    }
}

void CMainFrame::OnCommand(int id)
{
    if (id >= ID_COPY_RECENT_FIRST && id < ID_COPY_RECENT_FIRST + kMaxRecentCopyMoveFolders) {
        CopyToRecentFolder(id);
        return;
    }
    if (id >= ID_MOVE_RECENT_FIRST && id < ID_MOVE_RECENT_FIRST + kMaxRecentCopyMoveFolders) {
        MoveToRecentFolder(id);
        return;
    }
    if (id >= ID_DOWNLOAD_FOLDER_FIRST && id <= ID_DOWNLOAD_FOLDER_LAST) {
        const std::size_t index = std::size_t(id - ID_DOWNLOAD_FOLDER_FIRST);
        if (index < m_settings.m_recentDownloadFolders.size())
            SetDownloadFolder(m_settings.m_recentDownloadFolders[index]);
        return;
    }
    switch (id) {
    case ID_CHOOSE_DOWNLOAD_FOLDER: ChooseDownloadFolder(); break;
    case ID_GOTO_URL: GotoAddress(); break;
    case ID_FOCUS_ADDRESS: m_addressBar->FocusCombo(); break;
    case ID_CANCEL_ALL: CancelAllDownloads(); break;
    case ID_OPEN: m_view->OpenSelected(); break;
    case ID_CANCEL_SELECTED: m_view->CancelSelected(); break;
    case ID_DOWNLOAD_IN_BROWSER: m_view->DownloadSelectedInBrowser(); break;
    case ID_OPEN_DOWNLOAD_FOLDER: OpenDownloadFolder(); break;
    case ID_PROPERTIES: ShowItemProperties(); break;
    case ID_HELP_CONTENTS: OpenHelp(); break;
    case ID_CHECK_UPDATES: OpenUpdatesPage(); break;
    case ID_OPTIONS: OpenOptionsDialog(); break;
    case ID_COPY_CHOOSE: CopyToChosenFolder(); break;
    case ID_MOVE_CHOOSE: MoveToChosenFolder(); break;
    case ID_DELETE: m_view->DeleteSelected(); break;
    case ID_APP_EXIT: close(); break;
    case ID_VIEW_TOOLBAR: ToggleToolBar(); break;
    case ID_VIEW_STATUS_BAR: ToggleStatusBar(); break;
    case ID_APP_ABOUT: OpenAboutBox(); break;
    // The new-document command means nothing here.
    case ID_FILE_NEW:
    default: break;
    }
}

void CMainFrame::GotoAddress()
{
    if (m_jobState == FJS_REQUESTING_PAGE || m_jobState == FJS_DOWNLOADING) {
        if (!Prompts().AskYesNo(this, QStringLiteral("Are you sure you want to cancel all current downloads?"),
                                QStringLiteral("Cancel All Downloads?")))
            return;
        BeginCancel(FJS_CANCELING_PAGE_FOR_NEW_ADDRESS, FJS_CANCELING_DOWNLOADS_FOR_NEW_ADDRESS);
        return;
    }
    if (IsJobState(m_jobState) || m_destroyed)
        return;

    InitHttpLibrary();
    CTimerManager* timer = CTimerManager::GetInstance();
    if (!timer)
        return;
    try {
        m_view->ClearItems();
        m_ombrex->ClearDownloadItems();
        m_addressBar->SelectAll();
        const std::string address = m_addressBar->GetText().toStdString();

        const DownloaderState state = m_ombrex->GetState(false);
        if (state == DS_COMPLETED) {
            m_ombrex->ResetState();
        } else if (state != DS_IDLE) {
            Prompts().ShowError(this, QStringLiteral("Unknown Error"), QStringLiteral("Error"));
            return;
        }
        m_jobState = FJS_REQUESTING_PAGE;

        const std::string& folder = m_options.m_downloadFolder.GetPath();
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error) && !std::filesystem::create_directory(folder, error)) {
            Prompts().ShowError(this, Qs("Could not create download folder: " + folder), QStringLiteral("Error"));
            m_jobState = FJS_READY;
            return;
        }
        m_ombrex->SetConfigOptions(m_options);
        m_ombrex->SetSaveSettings(MakeSaveSettings(m_options));
        m_ombrex->GotoURL(address);
        timer->Start(int(RefreshPeriodMs(m_options.m_dvRefreshRate)));
    } catch (const std::runtime_error& e) {
        timer->Stop();
        m_jobState = FJS_READY;
        const std::string text = e.what();
        Prompts().ShowError(this, Qs(text.empty() ? "Caught runtime error in GotoAddress!" : text),
                            QStringLiteral("Error"));
    } catch (...) {
        timer->Stop();
        m_jobState = FJS_READY;
        Prompts().ShowError(this, QStringLiteral("Unknown Error"), QStringLiteral("Error"));
    }
}

void CMainFrame::CancelAllDownloads()
{
    if (!Prompts().AskYesNo(this, QStringLiteral("Are you sure you want to cancel all downloads?"),
                            QStringLiteral("Cancel All Downloads?")))
        return;
    if (m_jobState == FJS_REQUESTING_PAGE || m_jobState == FJS_DOWNLOADING)
        BeginCancel(FJS_CANCELING_PAGE, FJS_CANCELING_DOWNLOADS);
}

void CMainFrame::BeginCancel(int pageState, int downloadState)
{
    m_jobState = m_jobState == FJS_REQUESTING_PAGE ? pageState : downloadState;
    m_ombrex->Cancel();
    setEnabled(false);
    setCursor(Qt::WaitCursor);
}

void CMainFrame::CancelItems(const std::vector<std::int32_t>& ids)
{
    if (m_ombrex)
        m_ombrex->CancelDownloadItems(ids);
}

void CMainFrame::RefreshView(bool full)
{
    std::vector<DownloadItemPtr> items;
    if (full)
        m_ombrex->GetDownloadItems(items);
    else
        m_ombrex->GetChangedItems(items);
    m_view->UpdateItems(items);
}

void CMainFrame::Restore()
{
    setEnabled(true);
    unsetCursor();
}

void CMainFrame::StopTimer()
{
    if (CTimerManager* timer = CTimerManager::GetInstance())
        timer->Stop();
}

void CMainFrame::OnRefreshTimer()
{
    if (!IsJobState(m_jobState) || !m_ombrex)
        return;
    const int s = m_ombrex->GetState(true);
    const int was = m_jobState;
    // The page has arrived: show its address (after redirects) and remember it.
    const auto takePageAddress = [this] {
        const std::string address = m_ombrex->GetCurrentURL();
        m_addressBar->SetText(Qs(address));
        AddRecentSite(address);
    };
    // A cancel has finished: back to Ready, and on to the new address if one is waiting.
    const auto finishCancel = [this, was](bool refresh) {
        if (refresh)
            RefreshView(true);
        Restore();
        m_jobState = FJS_READY;
        StopTimer();
        CleanupHttpLibrary();
        if (was == FJS_CANCELING_PAGE_FOR_NEW_ADDRESS || was == FJS_CANCELING_DOWNLOADS_FOR_NEW_ADDRESS)
            GotoAddress();
    };
    const auto finishClose = [this] {
        m_jobState = FJS_CLOSED;
        StopTimer();
        CleanupHttpLibrary();
        Destroy();
    };

    switch (was) {
    case FJS_REQUESTING_PAGE:
        if (s == DS_PAGE_FAILED) {
            m_jobState = FJS_READY;
            StopTimer();
            // The box keeps its text; the reason is there for whoever wants to know.
            Prompts().ShowErrorDetails(this, QStringLiteral("Could not retrieve requested URL"),
                                       QStringLiteral("Error retrieving URL"), Qs(m_ombrex->GetPageFailureReason()));
        } else if (s == DS_PAGE_CANCELLED) {
            m_jobState = FJS_READY;
            StopTimer();
        } else if (s == DS_DOWNLOADING) {
            takePageAddress();
            m_jobState = FJS_DOWNLOADING;
            RefreshView(false);
        } else if (s == DS_COMPLETED) {
            takePageAddress();
            RefreshView(true);
            StopTimer();
            m_jobState = FJS_READY;
        }
        break;
    case FJS_CANCELING_PAGE:
    case FJS_CANCELING_PAGE_FOR_NEW_ADDRESS:
        if (s == DS_FETCHING_PAGE)
            break;
        if (s == DS_DOWNLOADING)
            m_jobState = was == FJS_CANCELING_PAGE ? FJS_CANCELING_DOWNLOADS : FJS_CANCELING_DOWNLOADS_FOR_NEW_ADDRESS;
        else
            finishCancel(s == DS_PAGE_FAILED || s == DS_PAGE_CANCELLED || s == DS_COMPLETED);
        break;
    case FJS_CLOSING_AFTER_PAGE_CANCEL:
        if (s == DS_FETCHING_PAGE)
            break;
        if (s == DS_DOWNLOADING)
            m_jobState = FJS_CLOSING_AFTER_DOWNLOAD_CANCEL;
        else
            finishClose();
        break;
    case FJS_DOWNLOADING:
        if (s == DS_DOWNLOADING) {
            RefreshView(false);
            break;
        }
        if (s == DS_DOWNLOADS_FAILED || s == DS_COMPLETED)
            RefreshView(true);
        StopTimer();
        m_jobState = FJS_READY;
        CleanupHttpLibrary();
        break;
    case FJS_CANCELING_DOWNLOADS:
    case FJS_CANCELING_DOWNLOADS_FOR_NEW_ADDRESS:
        if (s != DS_DOWNLOADING)
            finishCancel(s == DS_DOWNLOADS_CANCELLED || s == DS_DOWNLOADS_FAILED || s == DS_COMPLETED);
        break;
    case FJS_CLOSING_AFTER_DOWNLOAD_CANCEL:
        if (s != DS_DOWNLOADING)
            finishClose();
        break;
    default: break;
    }
}

void CMainFrame::AddRecentSite(const std::string& address)
{
    const int index = MoveToFront(m_settings.m_recentSites, address, kMaxRecentSites, HELPERS::EqualsIgnoringAsciiCase);
    if (index == 0)
        return;
    if (index > 0)
        m_addressBar->DeleteString(index);
    m_addressBar->InsertString(0, Qs(address));
    // The drop-down holds no more lines than the list it shows.
    while (m_addressBar->Combo()->count() > int(m_settings.m_recentSites.size()))
        m_addressBar->DeleteString(m_addressBar->Combo()->count() - 1);
}

void CMainFrame::AddRecentCopyMoveFolder(const std::string& path)
{
    MoveToFront(m_settings.m_recentCopyMoveFolders, path, kMaxRecentCopyMoveFolders, EqualsIgnoringCase);
}

void CMainFrame::FillCopyRecentFoldersMenu(QMenu* menu) { FillRecentFoldersMenu(menu, ID_COPY_RECENT_FIRST); }

void CMainFrame::FillMoveRecentFoldersMenu(QMenu* menu) { FillRecentFoldersMenu(menu, ID_MOVE_RECENT_FIRST); }

void CMainFrame::FillRecentFoldersMenu(QMenu* menu, int firstId)
{
    if (!menu)
        return;
    const QList<QAction*> items = menu->actions();
    if (items.size() < 2) {
        menu->addSeparator();
    } else if (items.size() > 2) {
        // The previous "Recent Folders" entry goes with its popup.
        if (QMenu* old = items[2]->menu())
            delete old;
        else
            menu->removeAction(items[2]);
    }
    auto* recent = new QMenu(QStringLiteral("&Recent Folders"), menu);
    const auto& folders = m_settings.m_recentCopyMoveFolders;
    if (folders.empty())
        AddItem(recent, QStringLiteral("None"), 0, false);
    for (std::size_t i = 0; i < folders.size() && i < std::size_t(kMaxRecentCopyMoveFolders); ++i)
        AddItem(recent, QStringLiteral("&%1 %2").arg(i).arg(Qs(folders[i])), firstId + int(i));
    menu->addMenu(recent);
}

void CMainFrame::CopyToRecentFolder(int commandId) { TransferToRecentFolder(commandId, ID_COPY_RECENT_FIRST, false); }

void CMainFrame::MoveToRecentFolder(int commandId) { TransferToRecentFolder(commandId, ID_MOVE_RECENT_FIRST, true); }

void CMainFrame::TransferToRecentFolder(int commandId, int firstId, bool move)
{
    const int index = commandId - firstId;
    const auto& folders = m_settings.m_recentCopyMoveFolders;
    if (index < 0 || index >= int(folders.size()) || folders[std::size_t(index)].empty()) {
        Prompts().ShowError(this,
                            move ? QStringLiteral("Could not move selected items to requested folder")
                                 : QStringLiteral("Could not copy selected items to requested folder"),
                            QStringLiteral("Error"));
        return;
    }
    const HELPERS::WinDirectory folder(folders[std::size_t(index)]);
    if (move)
        m_view->MoveSelectedTo(folder);
    else
        m_view->CopySelectedTo(folder);
}

void CMainFrame::CopyToChosenFolder() { TransferToChosenFolder(false); }

void CMainFrame::MoveToChosenFolder() { TransferToChosenFolder(true); }

void CMainFrame::TransferToChosenFolder(bool move)
{
    const auto& folders = m_settings.m_recentCopyMoveFolders;
    const QString chosen = Prompts().ChooseFolder(this, QStringLiteral("Select Destination Folder"),
                                                  folders.empty() ? QString() : Qs(folders.front()));
    if (chosen.isEmpty())
        return;
    const std::string path = chosen.toStdString();
    AddRecentCopyMoveFolder(path);
    if (move)
        m_view->MoveSelectedTo(HELPERS::WinDirectory(path));
    else
        m_view->CopySelectedTo(HELPERS::WinDirectory(path));
}

void CMainFrame::ChooseDownloadFolder()
{
    try {
        const QString chosen = Prompts().ChooseFolder(this, QStringLiteral("Select Download Folder"),
                                                      Qs(m_options.m_downloadFolder.GetPath()));
        if (!chosen.isEmpty())
            SetDownloadFolder(WithTrailingSeparator(chosen.toStdString()));
    } catch (const HELPERS::WException& e) {
        Prompts().ShowError(this, Qs(e.what()), QStringLiteral("Error"));
    }
}

void CMainFrame::SetDownloadFolder(std::string folder)
{
    // Not a change of the options file: only the Options dialog marks the options modified.
    m_options.m_downloadFolder = folder;
    m_statusBar->SetFolderText(Qs(folder));
    AddRecentDownloadFolder(folder, m_settings);
}

QMenu* CMainFrame::BuildDownloadFolderMenu()
{
    auto* menu = new QMenu(this);
    const auto& folders = m_settings.m_recentDownloadFolders;
    for (std::size_t i = folders.size(); i-- > 0;) {
        QAction* item = AddItem(menu, Qs(folders[i]), ID_DOWNLOAD_FOLDER_FIRST + int(i));
        if (folders[i] == m_options.m_downloadFolder.GetPath()) {
            item->setCheckable(true);
            item->setChecked(true);
            item->setEnabled(false);
        }
    }
    if (!folders.empty())
        menu->addSeparator();
    AddItem(menu, QStringLiteral("Choose Folder"), ID_CHOOSE_DOWNLOAD_FOLDER);
    return menu;
}

void CMainFrame::OpenDownloadFolder()
{
    const std::string& folder = m_options.m_downloadFolder.GetPath();
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error) && !std::filesystem::create_directory(folder, error)) {
        Prompts().ShowError(this,
                            QStringLiteral("Could not open download folder because it does not exist\n"
                                           "Attempt to create specified download folder failed as well!\n"
                                           "Please choose another downloader and try again"),
                            QStringLiteral("Error"));
        return;
    }
    try {
        m_shellOpen(folder);
    } catch (const HELPERS::WException& e) {
        Prompts().ShowError(this, Qs(e.what()), QStringLiteral("Error"));
    }
}

void CMainFrame::OpenHelp()
{
    try {
        const std::string path = HELPERS::ReadRegistryString(kHelpFileKey);
        if (path.empty())
            throw HELPERS::WException("Could not locate help file!");
        m_shellOpen(path);
    } catch (const HELPERS::WException& e) {
        Prompts().ShowError(this, Qs(e.what()), QStringLiteral("Error opening help"));
    } catch (...) {
        Prompts().ShowError(this, QStringLiteral("Could not display help!"), QStringLiteral("Error"));
    }
}

void CMainFrame::OpenUpdatesPage()
{
    try {
        m_shellOpen(std::string(kMakerSite) + kUpdatesPath);
    } catch (const HELPERS::WException& e) {
        Prompts().ShowError(this, Qs(std::string("Could not open the updates page!\n") + e.what()),
                            QStringLiteral("Error"));
    }
}

void CMainFrame::OpenAboutBox()
{
    QWidget* owner = QApplication::activeWindow();
    CAboutDlg about(owner ? owner : this);
    Prompts().RunModal(about);
}

void CMainFrame::ShowItemProperties()
{
    if (!m_view->CanShowProperties())
        return;
    const DownloadItemPtr item = m_view->GetSelectedItem();
    if (!item)
        return;
    m_propsDlg = std::make_shared<CDIPropsDlg>(this, this);
    m_propsDlg->SetItem(item);
    m_propsDlg->show();
    setEnabled(false);
    m_propsDlgOpen = true;
    m_view->SetPropertiesItem(item->GetId());
}

void CMainFrame::ShowItemInPropertiesDlg(const DownloadItemPtr& item)
{
    if (m_propsDlg)
        m_propsDlg->SetItem(item);
}

void CMainFrame::OnPropDlgClosed()
{
    setEnabled(true);
    m_propsDlgOpen = false;
    m_view->ClearPropertiesItem();
}

DownloadItemPtr CMainFrame::SelectPrevItem() { return m_view->SelectPrevItem(); }
DownloadItemPtr CMainFrame::SelectNextItem() { return m_view->SelectNextItem(); }
bool CMainFrame::HasPrevItem() { return m_view->HasPrevItem(); }
bool CMainFrame::HasNextItem() { return m_view->HasNextItem(); }
void CMainFrame::OpenItem() { m_view->OpenSelected(); }
void CMainFrame::CancelItem() { m_view->CancelSelected(); }

void CMainFrame::OpenOptionsDialog()
{
    m_optionsApplied = false;
    m_optionsDlg = std::make_shared<COptionsDlg>(m_settings, this, this);
    m_optionsDlg->show();
    setEnabled(false);
    m_optionsDlg->SetOptions(m_options);
    m_optionsDlg->ClearModified();
}

void CMainFrame::OnOptionsDlgClosed()
{
    setEnabled(true);
    if (m_optionsDlgAtStartup) {
        m_optionsDlgAtStartup = false;
        if (m_optionsApplied)
            GotoAddress();
    }
}

void CMainFrame::ApplyOptions()
{
    if (m_optionsDlg && m_optionsDlg->IsModified()) {
        m_optionsDlg->GetOptions(m_options);
        m_options.m_bModified = true;
        m_statusBar->SetFolderText(Qs(m_options.m_downloadFolder.GetPath()));
        try {
            m_ombrex->SetConfigOptions(m_options);
        } catch (const std::exception& e) {
            // The next GotoAddress hands the options over again and reports it there.
            Prompts().ShowError(this, Qs(e.what()), QStringLiteral("Error"));
        }
    }
    m_optionsApplied = true;
}

void CMainFrame::ToggleToolBar()
{
    m_toolBarVisible = !m_toolBarVisible;
    m_toolBar->setVisible(m_toolBarVisible);
    m_actions.at(ID_VIEW_TOOLBAR)->setChecked(m_toolBarVisible);
}

void CMainFrame::ToggleStatusBar()
{
    const bool show = m_statusBar->isHidden();
    m_statusBar->setVisible(show);
    m_actions.at(ID_VIEW_STATUS_BAR)->setChecked(show);
}

bool CMainFrame::PreTranslateMessage(QObject*, QEvent*)
{
    // The accelerators are the actions' shortcuts, and the list registers its own filter.
    return false;
}

bool CMainFrame::OnIdle()
{
    if (m_destroyed)
        return false;
    m_statusBar->SetStateText(QString::fromUtf8(FrameJobStateLabel(m_jobState)));
    const bool canCopyMove = m_view->CanCopyMoveSelected();
    const std::pair<int, bool> states[] = {
        {ID_OPEN, m_view->CanOpenSelected()},
        {ID_CANCEL_ALL, IsJobRunning()},
        {ID_CANCEL_SELECTED, m_view->CanCancelSelected()},
        {ID_COPY_CHOOSE, canCopyMove},
        {ID_MOVE_CHOOSE, canCopyMove},
        {ID_DELETE, m_view->CanDeleteSelected()},
        {ID_DOWNLOAD_IN_BROWSER, m_view->CanDownloadInBrowser()},
        {ID_PROPERTIES, m_view->CanShowProperties()},
    };
    for (const auto& [id, enabled] : states)
        m_actions.at(id)->setEnabled(enabled);
    m_copyMenu->setEnabled(canCopyMove);
    m_moveMenu->setEnabled(canCopyMove);
    return false;
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_jobState == FJS_REQUESTING_PAGE || m_jobState == FJS_DOWNLOADING) {
        // The job must wind down first; the refresh tick that sees it end destroys the window.
        m_jobState =
            m_jobState == FJS_REQUESTING_PAGE ? FJS_CLOSING_AFTER_PAGE_CANCEL : FJS_CLOSING_AFTER_DOWNLOAD_CANCEL;
        m_ombrex->Cancel();
        hide();
        event->ignore();
        return;
    }
    event->accept();
    Destroy();
}

void CMainFrame::Destroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    try {
        m_options.Save(nullptr);
    } catch (const HELPERS::WException& e) {
        Prompts().ShowError(this, Qs(e.what()), QStringLiteral("Error"));
    } catch (...) {
        Prompts().ShowError(this, QStringLiteral("Unknow error while attempting to save config options"),
                            QStringLiteral("Error"));
    }
    try {
        m_view->SaveHeaderSettings();
        const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
        m_settings.m_frameWinPos = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
        m_settings.Save(nullptr);
    } catch (...) {
        // Losing the remembered layout must not stop the program from closing.
    }
    m_ombrex.reset();
    m_optionsDlg.reset();
    m_propsDlg.reset();
    if (CMainLoop* loop = CMainLoop::Current()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
    }
    if (CTimerManager* timer = CTimerManager::GetInstance()) {
        timer->Stop();
        timer->SetClient(nullptr);
    }
    hide();
    if (CMainLoop* loop = CMainLoop::Current())
        loop->PostQuit(1);
}
