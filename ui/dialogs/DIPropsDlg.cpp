#include "ui/dialogs/DIPropsDlg.h"

#include "app/MainLoop.h"
#include "ui/dialogs/DIPropDlgClient.h"
#include "ui/dialogs/DIPropsMainTabDlg.h"
#include "ui/dialogs/OwnedWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

CDIPropsDlg::CDIPropsDlg(IDIPropDlgClient* client, QWidget* owner)
    : QDialog(nullptr), m_client(client), m_tabs(new QTabWidget(this)), m_page(new CDIPropsMainTabDlg(client, m_tabs)),
      m_previousButton(new QPushButton(QStringLiteral("&Previous"), this)),
      m_nextButton(new QPushButton(QStringLiteral("&Next"), this)),
      m_closeButton(new QPushButton(QStringLiteral("&Close"), this))
{
    setWindowTitle(QStringLiteral("Download Item Properties"));
    setModal(false);
    m_tabs->addTab(m_page, QStringLiteral("Information"));

    for (QPushButton* button : {m_previousButton, m_nextButton})
        button->setAutoDefault(false);
    m_closeButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_previousButton);
    buttons->addWidget(m_nextButton);
    buttons->addStretch(1);
    buttons->addWidget(m_closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buttons);

    connect(m_previousButton, &QPushButton::clicked, this, &CDIPropsDlg::OnPrevious);
    connect(m_nextButton, &QPushButton::clicked, this, &CDIPropsDlg::OnNext);
    connect(m_closeButton, &QPushButton::clicked, this, &CDIPropsDlg::OnClose);

    if (CMainLoop* loop = CMainLoop::Current())
        loop->AddIdleHandler(this);
    PlaceOwnedWindow(this, owner, true);
}

CDIPropsDlg::~CDIPropsDlg()
{
    if (!m_closed)
        if (CMainLoop* loop = CMainLoop::Current())
            loop->RemoveIdleHandler(this);
}

void CDIPropsDlg::SetItem(const DownloadItemPtr& item)
{
    if (!item)
        return;
    const bool sameItem = m_item && m_item->GetId() == item->GetId() && m_item->GetFileName() == item->GetFileName();
    m_item = item;
    if (!sameItem)
        m_page->ShowFixedFields(*item);
    m_page->ShowChangingFields(*item);
}

bool CDIPropsDlg::OnIdle()
{
    if (m_client) {
        // A button losing the focus by being disabled hands it on to its neighbour.
        QWidget* focused = focusWidget();
        const bool hasPrev = m_client->HasPrevItem();
        const bool hasNext = m_client->HasNextItem();
        m_previousButton->setEnabled(hasPrev);
        m_nextButton->setEnabled(hasNext);
        const auto moveFocusFrom = [&](QPushButton* button, QPushButton* other) {
            if (focused == button && !button->isEnabled())
                (other->isEnabled() ? other : m_closeButton)->setFocus();
        };
        moveFocusFrom(m_previousButton, m_nextButton);
        moveFocusFrom(m_nextButton, m_previousButton);
    }
    const DownloadItemStatus status = m_item ? m_item->GetStatus() : DIS_QUEUED;
    m_page->OpenButton()->setEnabled(m_item && status == DIS_COMPLETED);
    m_page->CancelButton()->setEnabled(m_item && status == DIS_IN_PROGRESS);
    return false;
}

void CDIPropsDlg::OnPrevious()
{
    if (m_client)
        SetItem(m_client->SelectPrevItem());
}

void CDIPropsDlg::OnNext()
{
    if (m_client)
        SetItem(m_client->SelectNextItem());
}

void CDIPropsDlg::OnClose()
{
    if (m_closed)
        return;
    m_closed = true;
    if (CMainLoop* loop = CMainLoop::Current())
        loop->RemoveIdleHandler(this);
    hide();
    if (m_client)
        m_client->OnPropDlgClosed();
}
