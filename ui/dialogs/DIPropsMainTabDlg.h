#pragma once
// The "Information" page of the item properties dialog: the item's number, figures, file
// name, source address and info text, with Open, Cancel Download and a link that opens
// the source address in the web browser.
#include "engine/DownloadItem.h"

#include <QWidget>

class CHyperLink;
class IDIPropDlgClient;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class CDIPropsMainTabDlg : public QWidget {
    Q_OBJECT
public:
    CDIPropsMainTabDlg(IDIPropDlgClient* client, QWidget* parent = nullptr);

    // ID, file name, source and the link's target.
    void ShowFixedFields(const CDownloadItem& item);
    // Size, speed, transferred, remaining and the info text: what changes while it runs.
    void ShowChangingFields(const CDownloadItem& item);

    QLineEdit* IdEdit() const { return m_idEdit; }
    QLineEdit* SpeedEdit() const { return m_speedEdit; }
    QLineEdit* SizeEdit() const { return m_sizeEdit; }
    QLineEdit* TransferredEdit() const { return m_transferredEdit; }
    QLineEdit* RemainingEdit() const { return m_remainingEdit; }
    QGroupBox* FileNameGroup() const { return m_fileNameGroup; }
    QLineEdit* FileNameEdit() const { return m_fileNameEdit; }
    QPushButton* OpenButton() const { return m_openButton; }
    QPushButton* CancelButton() const { return m_cancelButton; }
    QLineEdit* SourceEdit() const { return m_sourceEdit; }
    CHyperLink* BrowserLink() const { return m_browserLink; }
    QPlainTextEdit* StatusEdit() const { return m_statusEdit; }

private:
    IDIPropDlgClient* m_client;
    QLineEdit* m_idEdit;
    QLineEdit* m_speedEdit;
    QLineEdit* m_sizeEdit;
    QLineEdit* m_transferredEdit;
    QLineEdit* m_remainingEdit;
    QGroupBox* m_fileNameGroup;
    QLineEdit* m_fileNameEdit;
    QPushButton* m_openButton;
    QPushButton* m_cancelButton;
    QLineEdit* m_sourceEdit;
    CHyperLink* m_browserLink;
    QPlainTextEdit* m_statusEdit;
};
