#include "ui/dialogs/OptionsDlg.h"

#include "app/MainLoop.h"
#include "config/ConfigOptions.h"
#include "config/PersistSettings.h"
#include "helpers/WException.h"
#include "ui/CoolButton.h"
#include "ui/Prompts.h"
#include "ui/dialogs/ControlException.h"
#include "ui/dialogs/FilterOptsTabDlg.h"
#include "ui/dialogs/MiscOptsTabDlg.h"
#include "ui/dialogs/OptionTypesView.h"
#include "ui/dialogs/OptionsDlgCallbackClient.h"
#include "ui/dialogs/OwnedWindow.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

COptionsDlg::COptionsDlg(PersistSettings& settings, IOptionsDlgCallbackClient* callback, QWidget* owner)
    : QDialog(nullptr), m_settings(settings), m_callback(callback)
{
    setWindowTitle(QStringLiteral("Options"));
    setModal(false);

    auto* folderLabel = new QLabel(QStringLiteral("&Download Folder"), this);
    m_folderEdit = new QLineEdit(this);
    m_folderEdit->setReadOnly(true);
    folderLabel->setBuddy(m_folderEdit);
    m_browseButton = new QPushButton(QStringLiteral("&..."), this);
    m_browseButton->setAutoDefault(false);
    m_browseButton->setToolTip(QStringLiteral("Select Download Folder"));
    m_browseButton->setFixedWidth(m_browseButton->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 20);
    m_recentButton = new CCoolButton(QStringLiteral("&Recent"), this);
    m_recentButton->setToolTip(QStringLiteral("Recent download folders"));
    m_recentButton->setMinimumHeight(m_browseButton->sizeHint().height());
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folderEdit, 1);
    folderRow->addWidget(m_browseButton);
    folderRow->addWidget(m_recentButton);

    m_tabs = new QTabWidget(this);
    m_filterPage = new CFilterOptsTabDlg(this, m_tabs);
    m_miscPage = new CMiscOptsTabDlg(m_tabs);
    m_tabs->addTab(m_filterPage, QStringLiteral("Filter"));
    m_tabs->addTab(m_miscPage, QStringLiteral("Misc"));

    auto* buttons = new QDialogButtonBox(this);
    m_okButton = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_cancelButton = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_applyButton = buttons->addButton(QStringLiteral("Apply"), QDialogButtonBox::ApplyRole);
    m_okButton->setDefault(true);
    m_applyButton->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folderLabel);
    layout->addLayout(folderRow);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(buttons);

    connect(m_folderEdit, &QLineEdit::textChanged, this, [this] {
        m_folderModified = true;
        UpdateApplyButton();
    });
    connect(m_browseButton, &QPushButton::clicked, this, &COptionsDlg::OnChooseFolder);
    connect(m_recentButton->PopupMenu(), &QMenu::aboutToShow, this, &COptionsDlg::BuildRecentMenu);
    connect(m_recentButton, &CCoolButton::menuCommand, this, &COptionsDlg::OnRecentCommand);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { m_tabs->tabBar()->setFocus(); });
    connect(m_filterPage, &CFilterOptsTabDlg::modifiedChanged, this, &COptionsDlg::UpdateApplyButton);
    connect(m_miscPage, &CMiscOptsTabDlg::modifiedChanged, this, &COptionsDlg::UpdateApplyButton);
    connect(m_okButton, &QPushButton::clicked, this, &COptionsDlg::OnOK);
    connect(m_cancelButton, &QPushButton::clicked, this, &COptionsDlg::OnCancel);
    connect(m_applyButton, &QPushButton::clicked, this, &COptionsDlg::OnApply);

    if (m_settings.m_ftViewColWidths.size() == 2)
        m_filterPage->TypesView()->SetColumnWidths(m_settings.m_ftViewColWidths[0], m_settings.m_ftViewColWidths[1]);

    ClearModified();
    m_tabs->tabBar()->setFocus();
    if (CMainLoop* loop = CMainLoop::Current())
        loop->AddIdleHandler(this);
    PlaceOwnedWindow(this, owner, false);
}

COptionsDlg::~COptionsDlg()
{
    if (CMainLoop* loop = CMainLoop::Current())
        loop->RemoveIdleHandler(this);
    if (!m_widthsSaved)
        SaveColumnWidths();
}

void COptionsDlg::SetOptions(const ConfigOptions& options)
{
    m_folderEdit->setText(QString::fromStdString(options.m_downloadFolder.GetPath()));
    m_filterPage->SetOptions(options);
    m_miscPage->SetOptions(options);
}

void COptionsDlg::GetOptions(ConfigOptions& options) const
{
    options.m_downloadFolder = m_folderEdit->text().left(kMaxFolderLength).toStdString();
    m_filterPage->GetOptions(options);
    m_miscPage->GetOptions(options);
}

void COptionsDlg::ClearModified()
{
    m_folderModified = false;
    m_filterPage->ClearModified();
    m_filterPage->TypesView()->ClearModified();
    m_miscPage->ClearModified();
    UpdateApplyButton();
}

bool COptionsDlg::IsModified() const
{
    return m_folderModified || m_filterPage->IsModified() || m_filterPage->TypesView()->IsModified() ||
           m_miscPage->IsModified();
}

void COptionsDlg::Validate()
{
    try {
        m_filterPage->Validate();
    } catch (const CControlException& e) {
        // The page was perhaps hidden: focus and select again now that it shows.
        m_tabs->setCurrentWidget(m_filterPage);
        if (QWidget* control = e.Control()) {
            control->setFocus();
            if (auto* edit = qobject_cast<QLineEdit*>(control))
                edit->selectAll();
        }
        throw;
    }
}

bool COptionsDlg::OnIdle()
{
    if (m_callback) {
        const bool enable = m_callback->CanApplyOptions();
        m_recentButton->setEnabled(enable);
        m_browseButton->setEnabled(enable);
        m_okButton->setEnabled(enable);
        m_cancelButton->setText(enable ? QStringLiteral("Cancel") : QStringLiteral("Close"));
        m_filterPage->EnableControls(enable);
        m_miscPage->EnableControls(enable);
    }
    UpdateApplyButton();
    return false;
}

void COptionsDlg::UpdateApplyButton() { m_applyButton->setEnabled(IsModified()); }

bool COptionsDlg::ApplySteps()
{
    try {
        Validate();
        AddRecentDownloadFolder(m_folderEdit->text().left(kMaxFolderLength).toStdString(), m_settings);
        if (m_callback)
            m_callback->ApplyOptions();
        return true;
    } catch (const HELPERS::WException& e) {
        Prompts().ShowError(this, QString::fromStdString(e.what()), QStringLiteral("Error"));
        return false;
    }
}

void COptionsDlg::OnApply()
{
    if (!ApplySteps())
        return;
    ClearModified();
}

void COptionsDlg::OnOK()
{
    if (!m_okButton->isEnabled() || !ApplySteps())
        return;
    Close();
}

void COptionsDlg::OnCancel() { Close(); }

void COptionsDlg::Close()
{
    SaveColumnWidths();
    hide();
    if (m_callback)
        m_callback->OnOptionsDlgClosed();
}

void COptionsDlg::SaveColumnWidths()
{
    const COptionTypesView* view = m_filterPage->TypesView();
    m_settings.m_ftViewColWidths.clear();
    m_settings.m_ftViewColWidths.push_back(view->ColumnWidth(0));
    m_settings.m_ftViewColWidths.push_back(view->ColumnWidth(1));
    m_widthsSaved = true;
}

void COptionsDlg::SetFolder(const QString& folder)
{
    m_folderModified = true;
    m_folderEdit->setFocus();
    m_folderEdit->setText(folder);
    m_folderEdit->selectAll();
    UpdateApplyButton();
}

void COptionsDlg::OnChooseFolder()
{
    try {
        const QString chosen =
            Prompts().ChooseFolder(this, QStringLiteral("Select Download Folder"), m_folderEdit->text());
        if (!chosen.isEmpty())
            SetFolder(chosen);
    } catch (const HELPERS::WException& e) {
        Prompts().ShowError(this, QString::fromStdString(e.what()), QStringLiteral("Error"));
    }
}

void COptionsDlg::BuildRecentMenu()
{
    m_recentButton->ClearMenu();
    const auto& folders = m_settings.m_recentDownloadFolders;
    if (folders.empty()) {
        m_recentButton->AppendMenuItem(0, QStringLiteral("None"), CCoolButton::MIF_GRAYED);
        return;
    }
    const std::string current = m_folderEdit->text().toStdString();
    const std::size_t count = std::min<std::size_t>(folders.size(), kMaxRecentEntries);
    for (std::size_t i = 0; i < count; ++i) {
        const int flags =
            folders[i] == current ? CCoolButton::MIF_CHECKED | CCoolButton::MIF_GRAYED : CCoolButton::MIF_ENABLED;
        // The bare path: no mnemonic may eat an "&" of a folder name.
        QString text = QString::fromStdString(folders[i]);
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        m_recentButton->AppendMenuItem(kFirstRecentCommand + static_cast<int>(i), text, flags);
    }
}

void COptionsDlg::OnRecentCommand(int id)
{
    const int index = id - kFirstRecentCommand;
    const auto& folders = m_settings.m_recentDownloadFolders;
    if (index < 0 || index >= kMaxRecentEntries || index >= static_cast<int>(folders.size()))
        return;
    SetFolder(QString::fromStdString(folders[static_cast<std::size_t>(index)]));
}
