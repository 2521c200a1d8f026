#include "ui/dialogs/AddModifyFileTypeDlg.h"

#include "ui/dialogs/AddModifyFileTypeDlgParent.h"
#include "ui/dialogs/OwnedWindow.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <stdexcept>
#include <string>

namespace {

// Only A to Z: other bytes (UTF-8 included) stay as typed.
std::string AsciiLower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

} // namespace

CAddModifyFileTypeDlg::CAddModifyFileTypeDlg(IAddModifyFileTypeDlgParent* parent, Mode mode, QWidget* owner)
    : QDialog(nullptr), m_parent(parent)
{
    setWindowTitle(mode == MODE_ADD ? QStringLiteral("Add File Type to Download") : QStringLiteral("Modify File Type"));
    setModal(false);

    auto* group = new QGroupBox(QStringLiteral("&Extension"), this);
    m_edit = new QLineEdit(group);
    m_edit->setMaxLength(kMaxTextLength);
    m_edit->setPlaceholderText(QStringLiteral("e.g. jpg"));
    m_message = new QLabel(group);
    m_message->setWordWrap(true);
    QPalette pal = m_message->palette();
    pal.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x20));
    m_message->setPalette(pal);
    m_message->hide();
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_edit);
    groupLayout->addWidget(m_message);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &CAddModifyFileTypeDlg::OnOK);
    connect(m_cancel, &QPushButton::clicked, this, &CAddModifyFileTypeDlg::OnCancel);
    // Once the user types again the old reason no longer applies.
    connect(m_edit, &QLineEdit::textEdited, m_message, &QLabel::hide);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addWidget(buttons);
    buttons->setOrientation(Qt::Vertical);
    setMinimumWidth(340);

    PlaceOwnedWindow(this, owner, true);
}

void CAddModifyFileTypeDlg::Refuse(const QString& why)
{
    m_message->setText(why);
    m_message->show();
    m_edit->setFocus();
    m_edit->selectAll();
}

void CAddModifyFileTypeDlg::OnOK()
{
    const std::string text = AsciiLower(m_edit->text().left(kMaxTextLength).toStdString());
    try {
        std::string message;
        if (!m_parent->ValidateExtension(text, message)) {
            Refuse(QString::fromStdString(message));
            return;
        }
        if (m_parent->ExtensionExists(text)) {
            Refuse(QString::fromStdString(text) + " is already in the list.");
            return;
        }
        m_parent->AddFileType(text);
    } catch (const std::runtime_error& e) {
        Refuse(QString::fromStdString(text) + ": " + e.what());
        return;
    }
    hide();
    m_parent->OnAddFileTypeDlgClosed();
}

void CAddModifyFileTypeDlg::OnCancel()
{
    hide();
    m_parent->OnAddFileTypeDlgClosed();
}
