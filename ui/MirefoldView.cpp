#include "ui/MirefoldView.h"

#include "app/MainLoop.h"
#include "config/PersistSettings.h"
#include "helpers/ShellCommand.h"
#include "ui/DownloadItemsDelegate.h"
#include "ui/DownloadItemsModel.h"
#include "ui/DownloadItemsViewParent.h"
#include "ui/HeaderMgr.h"
#include "ui/Prompts.h"
#include "ui/SpecialHeaderCtrl.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QToolTip>

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Column toggle commands and the column each one shows or hides.
struct ColumnToggle {
    int command;
    int type;
    const char* label;
};
const ColumnToggle kColumnToggles[] = {
    {CMirefoldView::ID_COL_SIZE, COL_SIZE, "Size"},
    {CMirefoldView::ID_COL_PROGRESS, COL_PROGRESS, "Progress"},
    {CMirefoldView::ID_COL_SPEED, COL_SPEED, "Speed"},
    {CMirefoldView::ID_COL_TRANSFERRED, COL_TRANSFERRED, "Transferred"},
    {CMirefoldView::ID_COL_REMAINING, COL_REMAINING, "Remaining"},
    {CMirefoldView::ID_COL_SOURCE, COL_SOURCE, "Source"},
};

QAction* AddCommand(QMenu* menu, const char* label, int id, bool enabled = true)
{
    QAction* action = menu->addAction(QString::fromUtf8(label));
    action->setData(id);
    action->setEnabled(enabled);
    return action;
}

// The command a menu choice stands for, or 0.
int CommandOf(const QAction* chosen) { return chosen ? chosen->data().toInt() : 0; }

QString Qs(const std::string& text) { return QString::fromStdString(text); }

// Breaks every line of `text` between words so that no line is wider than `width`.
QString WrapToWidth(const QString& text, const QFontMetrics& metrics, int width)
{
    QStringList out;
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        QString current;
        for (const QString& word : line.split(QLatin1Char(' '))) {
            const QString candidate = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
            if (!current.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
                out.push_back(current);
                current = word;
            } else {
                current = candidate;
            }
        }
        out.push_back(current);
    }
    return out.join(QLatin1Char('\n'));
}

bool MoveFile(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    fs::rename(from, to, error);
    if (!error)
        return true;
    if (error != std::errc::cross_device_link)
        return false;
    // Another file system: copy, then remove the original.
    if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, error))
        return false;
    return fs::remove(from, error);
}

bool CopyFile(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    return fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
}

} // namespace

CMirefoldView::CMirefoldView(IDownloadItemsViewParent* parent, PersistSettings* settings, QWidget* parentWidget)
    : QTableView(parentWidget), m_parent(parent), m_settings(settings)
{
    m_model = new CDownloadItemsModel(this);
    m_delegate = new CDownloadItemsDelegate(this);
    m_header = new CSpecialHeaderCtrl(this, this);
    setHorizontalHeader(m_header);
    setModel(m_model);
    setItemDelegate(m_delegate);
    m_header->setSectionResizeMode(COL_ID, QHeaderView::Fixed);

    m_headerMgr = std::make_unique<CHeaderMgr>(m_header);
    if (settings)
        m_headerMgr->Load(*settings);
    else
        m_headerMgr->SetDefaultLayout();

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // One fixed row height: measuring rows one by one would freeze large lists.
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(CDownloadItemsDelegate::RowHeight());
    setMouseTracking(true);
    ShowSortArrow();

    connect(this, &QAbstractItemView::activated, this, [this] { OpenSelected(); });

    m_shellOpen = [](const std::string& path) { HELPERS::ExecuteShellCommand(nullptr, "open", path, "", "", 1); };

    if (CMainLoop* loop = CMainLoop::Current()) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
    }
}

CMirefoldView::~CMirefoldView()
{
    if (CMainLoop* loop = CMainLoop::Current()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
    }
}

std::vector<int> CMirefoldView::SelectedRows() const
{
    std::set<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.insert(row);
    return std::vector<int>(rows.begin(), rows.end());
}

std::vector<DownloadItemPtr> CMirefoldView::SelectedItems() const
{
    std::vector<DownloadItemPtr> items;
    for (int row : SelectedRows())
        items.push_back(m_model->Item(row));
    return items;
}

bool CMirefoldView::AllSelectedCompleted() const
{
    const std::vector<DownloadItemPtr> items = SelectedItems();
    return !items.empty() &&
           std::all_of(items.begin(), items.end(), [](const DownloadItemPtr& item) { return item->IsCompleted(); });
}

bool CMirefoldView::CanCancelSelected()
{
    const std::vector<DownloadItemPtr> items = SelectedItems();
    return !items.empty() && std::all_of(items.begin(), items.end(), [](const DownloadItemPtr& item) {
        return item->GetStatus() == DIS_QUEUED || item->GetStatus() == DIS_IN_PROGRESS;
    });
}

bool CMirefoldView::CanOpenSelected() { return AllSelectedCompleted(); }

bool CMirefoldView::CanCopyMoveSelected() { return AllSelectedCompleted(); }

bool CMirefoldView::CanDeleteSelected() { return AllSelectedCompleted(); }

bool CMirefoldView::CanShowProperties() { return SelectedRows().size() == 1; }

bool CMirefoldView::CanDownloadInBrowser() { return SelectedRows().size() == 1; }

void CMirefoldView::CancelSelected()
{
    if (!Prompts().AskYesNo(this, "Are you sure you want to cancel download of the selected item?", "Cancel Download?"))
        return;
    std::vector<std::int32_t> ids;
    for (const DownloadItemPtr& item : SelectedItems())
        ids.push_back(item->GetId());
    if (!ids.empty() && m_parent)
        m_parent->CancelItems(ids);
}

void CMirefoldView::OpenSelected()
{
    if (!AllSelectedCompleted())
        return;
    const std::vector<DownloadItemPtr> items = SelectedItems();
    if (items.size() >= 5 &&
        !Prompts().AskYesNo(this, QString("Are you sure you want to open %1 items at once?").arg(items.size()),
                            "Attempt to Open Too Many Items!"))
        return;
    bool failed = false;
    for (const DownloadItemPtr& item : items) {
        const std::string path = item->GetSavedPath();
        if (path.empty()) {
            failed = true;
            continue;
        }
        try {
            m_shellOpen(path);
        } catch (const std::exception&) {
            failed = true;
        }
    }
    if (failed)
        Prompts().ShowError(this, "Some of the selected items could not be opened!", "Error");
}

void CMirefoldView::UpdateItems(const std::vector<DownloadItemPtr>& items)
{
    if (m_parent && m_propertiesItem >= 0)
        for (const DownloadItemPtr& item : items)
            if (item && item->GetId() == m_propertiesItem)
                m_parent->ShowItemInPropertiesDlg(item);
    m_model->Merge(items);
    Sort();
    AutoSizeColumn(COL_ID);
}

void CMirefoldView::ClearItems()
{
    m_model->Clear();
    m_delegate->ResetContentWidths();
}

void CMirefoldView::TransferSelectedTo(const HELPERS::WinDirectory& folder, bool move)
{
    std::error_code error;
    if (!fs::is_directory(folder.GetPath(), error)) {
        Prompts().ShowError(this, Qs("Destination folder '" + folder.GetPath() + "' does not exist!"), "Error");
        return;
    }
    if (!AllSelectedCompleted())
        return;
    std::vector<std::string> paths;
    for (const DownloadItemPtr& item : SelectedItems())
        paths.push_back(item->GetSavedPath());

    std::unique_ptr<QProgressDialog> progress;
    if (static_cast<int>(paths.size()) > kProgressDialogThreshold) {
        progress = std::make_unique<QProgressDialog>(move ? "Moving files..." : "Copying files...", "Cancel", 0,
                                                     static_cast<int>(paths.size()), this);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(500);
    }
    bool failed = false, aborted = false;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (progress) {
            progress->setValue(static_cast<int>(i));
            if (progress->wasCanceled()) {
                aborted = true;
                break;
            }
        }
        const fs::path from(paths[i]);
        const fs::path to = fs::path(folder.GetPath()) / from.filename();
        if (paths[i].empty() || fs::equivalent(from, to, error)) {
            failed = true;
            continue;
        }
        if (fs::exists(fs::symlink_status(to, error)) &&
            !Prompts().AskYesNo(this,
                                Qs("The folder '" + folder.GetPath() + "' already contains a file named '" +
                                   from.filename().string() + "'.\nDo you want to replace it?"),
                                "Confirm File Replace"))
            continue;
        if (!(move ? MoveFile(from, to) : CopyFile(from, to)))
            failed = true;
    }
    if (failed)
        Prompts().ShowError(this,
                            move ? "Some of the selected items could not be moved!"
                                 : "Some of the selected items could not be copied!",
                            "Error");
    else if (!aborted && m_parent)
        m_parent->AddRecentCopyMoveFolder(folder.GetPath());
}

void CMirefoldView::CopySelectedTo(const HELPERS::WinDirectory& folder) { TransferSelectedTo(folder, false); }

void CMirefoldView::MoveSelectedTo(const HELPERS::WinDirectory& folder) { TransferSelectedTo(folder, true); }

void CMirefoldView::DeleteSelected()
{
    if (!AllSelectedCompleted())
        return;
    std::vector<std::string> paths;
    for (const DownloadItemPtr& item : SelectedItems()) {
        const std::string path = item->GetSavedPath();
        if (std::find(paths.begin(), paths.end(), path) == paths.end())
            paths.push_back(path);
    }
    const QString question =
        paths.size() == 1
            ? Qs("Are you sure you want to move '" + fs::path(paths[0]).filename().string() + "' to the Trash?")
            : QString("Are you sure you want to move these %1 items to the Trash?").arg(paths.size());
    if (!Prompts().AskYesNo(this, question, "Confirm Delete"))
        return;
    // Without the data folder, Qt's trash would land in the working folder instead.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    bool failed = false;
    for (const std::string& path : paths)
        if (path.empty() || !QFile::moveToTrash(Qs(path)))
            failed = true;
    if (failed)
        Prompts().ShowError(this, "Some of the selected items could not be moved to the Trash!", "Error");
    // The rows stay as they are: the idle check marks them Deleted.
}

DownloadItemPtr CMirefoldView::GetSelectedItem()
{
    const std::vector<int> rows = SelectedRows();
    return rows.empty() ? DownloadItemPtr() : m_model->Item(rows.front());
}

DownloadItemPtr CMirefoldView::SelectRow(int from, int to)
{
    selectionModel()->select(m_model->index(from, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(m_model->index(to, COL_FILE_NAME),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const DownloadItemPtr item = m_model->Item(to);
    m_propertiesItem = item->GetId();
    return item;
}

DownloadItemPtr CMirefoldView::SelectPrevItem()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty() || rows.front() == 0)
        return DownloadItemPtr();
    return SelectRow(rows.front(), rows.front() - 1);
}

DownloadItemPtr CMirefoldView::SelectNextItem()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty() || rows.front() + 1 >= m_model->rowCount())
        return DownloadItemPtr();
    return SelectRow(rows.front(), rows.front() + 1);
}

bool CMirefoldView::HasPrevItem()
{
    const std::vector<int> rows = SelectedRows();
    return !rows.empty() && rows.front() != 0;
}

bool CMirefoldView::HasNextItem()
{
    const std::vector<int> rows = SelectedRows();
    return !rows.empty() && rows.front() + 1 < m_model->rowCount();
}

void CMirefoldView::DownloadSelectedInBrowser()
{
    if (!CanDownloadInBrowser())
        return;
    try {
        m_shellOpen(GetSelectedItem()->GetURL());
    } catch (const std::exception&) {
        Prompts().ShowError(this, "Could not download selected item in browser!", "Error");
    }
}

void CMirefoldView::SaveHeaderSettings()
{
    if (m_settings)
        m_headerMgr->Save(*m_settings);
}

void CMirefoldView::OnHeaderRightClick(const QPoint& globalPos)
{
    std::unique_ptr<QMenu> menu(BuildColumnMenu());
    if (const int command = CommandOf(menu->exec(globalPos)))
        OnCommand(command);
}

void CMirefoldView::OnHeaderClick(int column)
{
    if (column == m_sortType) {
        m_sortAscending = !m_sortAscending;
    } else {
        m_sortType = column;
        m_sortAscending = true;
    }
    ShowSortArrow();
    Sort();
}

void CMirefoldView::AutoSizeColumn(int column)
{
    if (column >= 0 && column < COL_COUNT)
        m_header->resizeSection(column, m_delegate->ContentWidth(column));
}

int CMirefoldView::SortPosition() const { return m_headerMgr->PositionOf(m_sortType); }

void CMirefoldView::ShowSortArrow()
{
    // The table switches the arrow off when it is not sorting itself: the model sorts here.
    m_header->setSortIndicatorShown(true);
    m_header->setSortIndicator(m_sortType, m_sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CMirefoldView::Sort() { m_model->Sort(m_sortType, m_sortAscending); }

void CMirefoldView::ToggleColumn(int type)
{
    if (m_headerMgr->IsShown(type)) {
        // The sorted column goes: sort by File Name instead.
        if (m_sortType == type)
            OnHeaderClick(COL_FILE_NAME);
        m_headerMgr->HideColumn(type);
    } else {
        m_headerMgr->ShowColumn(type);
    }
}

bool CMirefoldView::PreTranslateMessage(QObject*, QEvent*) { return false; }

bool CMirefoldView::OnIdle()
{
    const int first = rowAt(0);
    m_model->MarkMissingFiles(first < 0 ? 0 : first);
    return false;
}

void CMirefoldView::OnCommand(int id)
{
    if (id >= ID_COPY_RECENT_FIRST && id <= ID_COPY_RECENT_LAST) {
        if (m_parent)
            m_parent->CopyToRecentFolder(id);
        return;
    }
    if (id >= ID_MOVE_RECENT_FIRST && id <= ID_MOVE_RECENT_LAST) {
        if (m_parent)
            m_parent->MoveToRecentFolder(id);
        return;
    }
    for (const ColumnToggle& toggle : kColumnToggles)
        if (toggle.command == id) {
            ToggleColumn(toggle.type);
            return;
        }
    // Commands the window holding the list carries out.
    static const std::pair<int, void (IDownloadItemsViewParent::*)()> parentCommands[] = {
        {ID_CANCEL_ALL, &IDownloadItemsViewParent::CancelAllDownloads},
        {ID_OPEN_DOWNLOAD_FOLDER, &IDownloadItemsViewParent::OpenDownloadFolder},
        {ID_PROPERTIES, &IDownloadItemsViewParent::ShowItemProperties},
        {ID_COPY_CHOOSE, &IDownloadItemsViewParent::CopyToChosenFolder},
        {ID_MOVE_CHOOSE, &IDownloadItemsViewParent::MoveToChosenFolder},
    };
    for (const auto& [command, call] : parentCommands)
        if (command == id) {
            if (m_parent)
                (m_parent->*call)();
            return;
        }
    switch (id) {
    case ID_OPEN: OpenSelected(); break;
    case ID_CANCEL_SELECTED: CancelSelected(); break;
    case ID_DOWNLOAD_IN_BROWSER: DownloadSelectedInBrowser(); break;
    case ID_DELETE: DeleteSelected(); break;
    default: break;
    }
}

QMenu* CMirefoldView::BuildColumnMenu()
{
    auto* menu = new QMenu(this);
    for (const auto& [label, id] : {std::pair{"Id", int(ID_COL_ID)}, std::pair{"File Name", int(ID_COL_FILE_NAME)}}) {
        QAction* action = AddCommand(menu, label, id, false);
        action->setCheckable(true);
        action->setChecked(true);
    }
    for (const ColumnToggle& toggle : kColumnToggles) {
        QAction* action = AddCommand(menu, toggle.label, toggle.command);
        action->setCheckable(true);
        action->setChecked(m_headerMgr->IsShown(toggle.type));
    }
    return menu;
}

QMenu* CMirefoldView::BuildContextMenu()
{
    auto* menu = new QMenu(this);
    AddCommand(menu, "&Open", ID_OPEN, CanOpenSelected());
    menu->addSeparator();
    AddCommand(menu, "Cancel &Selected", ID_CANCEL_SELECTED, CanCancelSelected());
    AddCommand(menu, "Cancel &All", ID_CANCEL_ALL, m_parent && m_parent->IsJobRunning());
    menu->addSeparator();
    const bool canCopyMove = CanCopyMoveSelected();
    QMenu* copyMenu = menu->addMenu("Cop&y to Folder");
    AddCommand(copyMenu, "Ch&oose Folder", ID_COPY_CHOOSE);
    QMenu* moveMenu = menu->addMenu("&Move to Folder");
    AddCommand(moveMenu, "Ch&oose Folder", ID_MOVE_CHOOSE);
    if (m_parent) {
        m_parent->FillCopyRecentFoldersMenu(copyMenu);
        m_parent->FillMoveRecentFoldersMenu(moveMenu);
    }
    copyMenu->setEnabled(canCopyMove);
    moveMenu->setEnabled(canCopyMove);
    AddCommand(menu, "Delete", ID_DELETE, CanDeleteSelected());
    menu->addSeparator();
    AddCommand(menu, "Download Using &Browser", ID_DOWNLOAD_IN_BROWSER, CanDownloadInBrowser());
    menu->addSeparator();
    AddCommand(menu, "P&roperties", ID_PROPERTIES, CanShowProperties());
    menu->addSeparator();
    AddCommand(menu, "Open &Download Folder", ID_OPEN_DOWNLOAD_FOLDER);
    return menu;
}

void CMirefoldView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        DeleteSelected();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CMirefoldView::contextMenuEvent(QContextMenuEvent* event)
{
    std::unique_ptr<QMenu> menu(BuildContextMenu());
    if (const int command = CommandOf(menu->exec(event->globalPos())))
        OnCommand(command);
    event->accept();
}

QString CMirefoldView::TipText(int row) const
{
    if (row < 0 || row >= m_model->rowCount() || !m_model->Item(row)->HasStatusInfo())
        return QString();
    return WrapToWidth(Qs(m_model->Item(row)->GetStatusInfo()), QFontMetrics(QToolTip::font()), kTipMaxWidth);
}

bool CMirefoldView::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QTableView::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const int row = rowAt(help->pos().y());
    const QString text = columnAt(help->pos().x()) >= 0 ? TipText(row) : QString();
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos() + QPoint(15, 15), text, viewport(), visualRect(m_model->index(row, 0)));
    return true;
}
