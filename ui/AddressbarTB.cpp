#include "ui/AddressbarTB.h"

#include "ui/SpecialEdit.h"

#include <QAction>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QSizePolicy>

CAddressbarTB::CAddressbarTB(IReturnCallback* callback, QWidget* parent) : QToolBar(QStringLiteral("Address"), parent)
{
    setObjectName(QStringLiteral("addressBar"));
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(16, 16));

    m_label = new QLabel(QStringLiteral("Address"), this);
    m_label->setContentsMargins(4, 0, 4, 0);
    addWidget(m_label);

    m_combo = new QComboBox(this);
    m_combo->setEditable(true);
    m_combo->setMaxVisibleItems(20);
    m_combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_combo->setMinimumContentsLength(20);
    // The combo takes all the width the "Go" button leaves.
    m_combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_edit = new CSpecialEdit(callback, true, m_combo);
    m_edit->setMaxLength(kMaxTextLength);
    m_edit->setTextMargins(3, 0, 1, 0);
    m_edit->AttachToCombo(m_combo);
    addWidget(m_combo);

    const QIcon goIcon(QStringLiteral(":/icons/go.svg"));
    m_goAction = new QAction(goIcon, QStringLiteral("Go"), this);
    m_goAction->setData(kGoCommand);
    m_goAction->setToolTip(QStringLiteral("Go to URL"));
    m_goAction->setStatusTip(QStringLiteral("Go to URL"));
    addAction(m_goAction);
}

void CAddressbarTB::SetText(const QString& text)
{
    m_edit->selectAll();
    m_edit->insert(text);
}

QString CAddressbarTB::GetText() const
{
    const QString text = m_edit->text();
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    return (end < 0 ? text : text.left(end)).left(kMaxTextLength);
}

void CAddressbarTB::SelectAll() { m_edit->selectAll(); }

void CAddressbarTB::AddString(const QString& text) { InsertString(m_combo->count(), text); }

void CAddressbarTB::InsertString(int index, const QString& text)
{
    // Changing the list must not change what the user is typing.
    const QString typed = m_edit->text();
    m_combo->insertItem(index, text);
    if (m_edit->text() != typed)
        m_edit->setText(typed);
}

void CAddressbarTB::DeleteString(int index)
{
    const QString typed = m_edit->text();
    m_combo->removeItem(index);
    if (m_edit->text() != typed)
        m_edit->setText(typed);
}

void CAddressbarTB::FocusCombo() { m_combo->setFocus(Qt::ShortcutFocusReason); }
