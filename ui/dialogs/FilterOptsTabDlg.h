#pragma once
// The Options dialog's "Filter" page: the file size range with its units, and the file
// types list with "&Add" and "&Remove".
#include "ui/dialogs/AddModifyFileTypeDlgParent.h"

#include <QWidget>

#include <cstdint>
#include <memory>

class CAddModifyFileTypeDlg;
class COptionTypesView;
class ConfigOptions;
class QComboBox;
class QLineEdit;
class QPushButton;

class CFilterOptsTabDlg : public QWidget, public IAddModifyFileTypeDlgParent {
    Q_OBJECT
public:
    static constexpr int kMaxSizeLength = 7;

    // `owner` is the window the add dialog stays above and disables while it is open.
    explicit CFilterOptsTabDlg(QWidget* owner, QWidget* parent = nullptr);
    ~CFilterOptsTabDlg() override;

    void SetOptions(const ConfigOptions& options);
    void GetOptions(ConfigOptions& options) const;
    // Throws CControlException naming the offending size field, which it focuses and selects.
    void Validate();

    bool IsModified() const { return m_modified; }
    void ClearModified() { m_modified = false; }
    // The idle update's switch for every input control of the page.
    void EnableControls(bool enable);

    void OnAdd();
    void OnRemove();

    bool ValidateExtension(const std::string& text, std::string& message) override;
    bool ExtensionExists(const std::string& text) override;
    void AddFileType(const std::string& text) override;
    void OnAddFileTypeDlgClosed() override;

    QLineEdit* MinEdit() const { return m_minEdit; }
    QLineEdit* MaxEdit() const { return m_maxEdit; }
    QComboBox* MinUnits() const { return m_minUnits; }
    QComboBox* MaxUnits() const { return m_maxUnits; }
    COptionTypesView* TypesView() const { return m_typesView; }
    QPushButton* AddButton() const { return m_addButton; }
    QPushButton* RemoveButton() const { return m_removeButton; }
    CAddModifyFileTypeDlg* AddDialog() const { return m_addDlg.get(); }

signals:
    // A flag that enables Apply may have changed.
    void modifiedChanged();

private:
    void SetModified();
    void UpdateRemoveButton();
    std::int64_t ValidatedSize(QLineEdit* edit, QComboBox* units);

    QWidget* m_owner;
    QLineEdit* m_minEdit;
    QComboBox* m_minUnits;
    QLineEdit* m_maxEdit;
    QComboBox* m_maxUnits;
    COptionTypesView* m_typesView;
    QPushButton* m_addButton;
    QPushButton* m_removeButton;
    std::unique_ptr<CAddModifyFileTypeDlg> m_addDlg;
    bool m_modified = false;
    bool m_enabled = true;
    bool m_removing = false;
};
