#include "ui/dialogs/DIPropsMainTabDlg.h"

#include "ui/HyperLink.h"
#include "ui/dialogs/DIPropDlgClient.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* ReadOnlyEdit(QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    return edit;
}

QString Qs(const std::string& text) { return QString::fromStdString(text); }

} // namespace

CDIPropsMainTabDlg::CDIPropsMainTabDlg(IDIPropDlgClient* client, QWidget* parent)
    : QWidget(parent), m_client(client), m_idEdit(ReadOnlyEdit(this)), m_speedEdit(ReadOnlyEdit(this)),
      m_sizeEdit(ReadOnlyEdit(this)), m_transferredEdit(ReadOnlyEdit(this)), m_remainingEdit(ReadOnlyEdit(this)),
      m_fileNameGroup(new QGroupBox(QStringLiteral("&Filename"), this)), m_fileNameEdit(ReadOnlyEdit(m_fileNameGroup)),
      m_openButton(new QPushButton(QStringLiteral("&Open"), m_fileNameGroup)),
      m_cancelButton(new QPushButton(QStringLiteral("Canc&el Download"), m_fileNameGroup)),
      m_sourceEdit(ReadOnlyEdit(this)), m_browserLink(new CHyperLink(QStringLiteral("( Open in Browser )"), this)),
      m_statusEdit(new QPlainTextEdit(this))
{
    // Figures in two columns: what is known first, the running counts beside it.
    auto* figures = new QGridLayout;
    const struct {
        const char* label;
        QLineEdit* edit;
        int row, column;
    } cells[] = {
        {"ID:", m_idEdit, 0, 0},
        {"Speed:", m_speedEdit, 0, 2},
        {"Size:", m_sizeEdit, 1, 0},
        {"Transferred:", m_transferredEdit, 1, 2},
        {"Remaining:", m_remainingEdit, 2, 2},
    };
    for (const auto& cell : cells) {
        auto* label = new QLabel(QString::fromLatin1(cell.label), this);
        label->setBuddy(cell.edit);
        figures->addWidget(label, cell.row, cell.column);
        figures->addWidget(cell.edit, cell.row, cell.column + 1);
    }
    figures->setColumnStretch(1, 1);
    figures->setColumnStretch(3, 1);
    figures->setColumnMinimumWidth(2, 12);

    for (QPushButton* button : {m_openButton, m_cancelButton})
        button->setAutoDefault(false);
    auto* fileButtons = new QHBoxLayout;
    fileButtons->addStretch(1);
    fileButtons->addWidget(m_openButton);
    fileButtons->addWidget(m_cancelButton);
    auto* fileLayout = new QVBoxLayout(m_fileNameGroup);
    fileLayout->addWidget(m_fileNameEdit);
    fileLayout->addLayout(fileButtons);

    auto* sourceLabel = new QLabel(QStringLiteral("&Source"), this);
    sourceLabel->setBuddy(m_sourceEdit);
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(sourceLabel);
    sourceRow->addStretch(1);
    sourceRow->addWidget(m_browserLink);

    auto* statusLabel = new QLabel(QStringLiteral("Status"), this);
    statusLabel->setBuddy(m_statusEdit);
    // Wide enough for a typical address without scrolling.
    m_sourceEdit->setMinimumWidth(m_sourceEdit->fontMetrics().averageCharWidth() * 64);
    m_statusEdit->setReadOnly(true);
    m_statusEdit->setTabChangesFocus(true);
    m_statusEdit->setMinimumHeight(m_statusEdit->fontMetrics().lineSpacing() * 4);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(figures);
    layout->addWidget(m_fileNameGroup);
    layout->addLayout(sourceRow);
    layout->addWidget(m_sourceEdit);
    layout->addWidget(statusLabel);
    layout->addWidget(m_statusEdit, 1);

    connect(m_openButton, &QPushButton::clicked, this, [this] {
        if (m_client)
            m_client->OpenItem();
    });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] {
        if (m_client)
            m_client->CancelItem();
    });
}

void CDIPropsMainTabDlg::ShowFixedFields(const CDownloadItem& item)
{
    m_idEdit->setText(QString::number(qint64(item.GetId()) + 1));
    m_fileNameEdit->setText(Qs(item.GetFileName()));
    m_fileNameEdit->setCursorPosition(0);
    m_sourceEdit->setText(Qs(item.GetURL()));
    m_sourceEdit->setCursorPosition(0);
    m_browserLink->SetTarget(item.GetURL());
}

void CDIPropsMainTabDlg::ShowChangingFields(const CDownloadItem& item)
{
    m_sizeEdit->setText(Qs(item.GetSizeText()));
    m_speedEdit->setText(Qs(item.GetSpeedText()));
    m_transferredEdit->setText(Qs(item.GetTransferredText()));
    m_remainingEdit->setText(Qs(item.GetRemainingText()));
    QString info = Qs(item.GetStatusInfo());
    info.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (m_statusEdit->toPlainText() != info)
        m_statusEdit->setPlainText(info);
}
