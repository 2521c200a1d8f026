#pragma once
// The modeless "Download Item Properties" dialog. It shows one download item on its
// "Information" page and steps through the list with Previous and Next; everything it does
// to items goes through its client. The client hands it newer copies of the item while a
// transfer runs.
#include "app/IdleHandler.h"
#include "engine/DownloadItem.h"

#include <QDialog>

class CDIPropsMainTabDlg;
class IDIPropDlgClient;
class QPushButton;
class QTabWidget;

class CDIPropsDlg : public QDialog, public IIdleHandler {
    Q_OBJECT
public:
    // `owner` (may be null) is the window the dialog stays above and is centred on; it is
    // not the parent, so the owner may disable itself while the dialog is open.
    explicit CDIPropsDlg(IDIPropDlgClient* client, QWidget* owner = nullptr);
    ~CDIPropsDlg() override;

    // Shows `item`. A newer state of the item already shown (same id and file name) only
    // refreshes the figures and the info text.
    void SetItem(const DownloadItemPtr& item);
    const DownloadItemPtr& Item() const { return m_item; }

    // Enables Previous and Next by the client and Open and Cancel Download by the item's
    // status, keeping the focus on an enabled button.
    bool OnIdle() override;

    void OnPrevious();
    void OnNext();
    // Tells the client, then the window goes away.
    void OnClose();
    void reject() override { OnClose(); }

    QTabWidget* Tabs() const { return m_tabs; }
    CDIPropsMainTabDlg* Page() const { return m_page; }
    QPushButton* PreviousButton() const { return m_previousButton; }
    QPushButton* NextButton() const { return m_nextButton; }
    QPushButton* CloseButton() const { return m_closeButton; }

private:
    IDIPropDlgClient* m_client;
    DownloadItemPtr m_item;
    QTabWidget* m_tabs;
    CDIPropsMainTabDlg* m_page;
    QPushButton* m_previousButton;
    QPushButton* m_nextButton;
    QPushButton* m_closeButton;
    bool m_closed = false;
};
