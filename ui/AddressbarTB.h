#pragma once
// The "Address" band of the main window: a label, an editable combo box holding the recent
// sites, and the "Go" button. Enter in the edit and "Go" both ask for the typed address;
// choosing an entry of the list only fills the edit.
#include <QString>
#include <QToolBar>

class CSpecialEdit;
class IReturnCallback;
class QAction;
class QComboBox;
class QLabel;

class CAddressbarTB : public QToolBar {
    Q_OBJECT
public:
    static constexpr int kGoCommand = 32779;
    static constexpr int kMaxTextLength = 2048;

    explicit CAddressbarTB(IReturnCallback* callback, QWidget* parent = nullptr);

    // Replaces the whole edit text (undoable, caret at the end).
    void SetText(const QString& text);
    // The edit's first line, at most kMaxTextLength characters.
    QString GetText() const;
    void SelectAll();
    void AddString(const QString& text);
    void InsertString(int index, const QString& text);
    void DeleteString(int index);
    // Puts the keyboard focus into the combo box (command 32780, Alt+D).
    void FocusCombo();

    // The "Go" button's action; its data is kGoCommand. The frame connects it to GotoAddress.
    QAction* GoAction() const { return m_goAction; }
    QComboBox* Combo() const { return m_combo; }
    CSpecialEdit* Edit() const { return m_edit; }

private:
    QLabel* m_label;
    QComboBox* m_combo;
    CSpecialEdit* m_edit;
    QAction* m_goAction;
};
