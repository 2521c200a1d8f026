#pragma once
// The modeless "Options" dialog. It edits its own copy of the options and never writes the
// live ones: OK and Apply validate, then ask the callback client (the main frame) to take
// the values. While the client refuses changes (a job runs) the dialog is read-only.
#include "app/IdleHandler.h"

#include <QDialog>

class CCoolButton;
class CFilterOptsTabDlg;
class CMiscOptsTabDlg;
class ConfigOptions;
class IOptionsDlgCallbackClient;
class PersistSettings;
class QLineEdit;
class QPushButton;
class QTabWidget;

class COptionsDlg : public QDialog, public IIdleHandler {
    Q_OBJECT
public:
    static constexpr int kFirstRecentCommand = 5070;
    static constexpr int kMaxRecentEntries = 15;
    static constexpr int kMaxFolderLength = 259;

    // `owner` (may be null) is the window the dialog stays above; it is not the parent, so
    // the owner may disable itself while the dialog is open.
    COptionsDlg(PersistSettings& settings, IOptionsDlgCallbackClient* callback, QWidget* owner = nullptr);
    ~COptionsDlg() override;

    void SetOptions(const ConfigOptions& options);
    // Reads the controls; neither validates nor touches m_bModified.
    void GetOptions(ConfigOptions& options) const;
    void ClearModified();
    bool IsModified() const;
    // Throws CControlException after bringing the Filter page and the offending field forward.
    void Validate();

    // Enables the controls by the client's CanApplyOptions and Apply by the modified flags.
    bool OnIdle() override;

    void OnOK();
    void OnApply();
    void OnCancel();
    void OnChooseFolder();
    // Fills the Recent menu anew; it is filled each time it opens.
    void BuildRecentMenu();
    void OnRecentCommand(int id);

    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

    QLineEdit* FolderEdit() const { return m_folderEdit; }
    QPushButton* BrowseButton() const { return m_browseButton; }
    CCoolButton* RecentButton() const { return m_recentButton; }
    QTabWidget* Tabs() const { return m_tabs; }
    CFilterOptsTabDlg* FilterPage() const { return m_filterPage; }
    CMiscOptsTabDlg* MiscPage() const { return m_miscPage; }
    QPushButton* OkButton() const { return m_okButton; }
    QPushButton* CancelButton() const { return m_cancelButton; }
    QPushButton* ApplyButton() const { return m_applyButton; }

private:
    bool ApplySteps();
    void Close();
    void SaveColumnWidths();
    void SetFolder(const QString& folder);
    void UpdateApplyButton();

    PersistSettings& m_settings;
    IOptionsDlgCallbackClient* m_callback;
    QLineEdit* m_folderEdit;
    QPushButton* m_browseButton;
    CCoolButton* m_recentButton;
    QTabWidget* m_tabs;
    CFilterOptsTabDlg* m_filterPage;
    CMiscOptsTabDlg* m_miscPage;
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
    QPushButton* m_applyButton;
    bool m_folderModified = false;
    bool m_widthsSaved = false;
};
