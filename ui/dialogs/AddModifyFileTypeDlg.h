#pragma once
// The small dialog in which a new file type is typed. It lower-cases the text, and refuses
// an invalid or duplicate extension by selecting the text, saying why beside the field,
// and staying open.
#include <QDialog>

class IAddModifyFileTypeDlgParent;
class QLabel;
class QLineEdit;
class QPushButton;

class CAddModifyFileTypeDlg : public QDialog {
    Q_OBJECT
public:
    enum Mode { MODE_ADD = 0, MODE_MODIFY = 1 };
    static constexpr int kMaxTextLength = 254;

    CAddModifyFileTypeDlg(IAddModifyFileTypeDlgParent* parent, Mode mode, QWidget* owner = nullptr);

    QLineEdit* ExtensionEdit() const { return m_edit; }
    QLabel* MessageLabel() const { return m_message; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

    // The two buttons (also Enter and Esc, and the window's close button).
    void OnOK();
    void OnCancel();

    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

private:
    void Refuse(const QString& why);

    IAddModifyFileTypeDlgParent* m_parent;
    QLineEdit* m_edit;
    QLabel* m_message;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
