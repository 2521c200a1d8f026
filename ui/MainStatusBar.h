#pragma once
// The main window's status bar: part 0 shows the folder icon and the download folder,
// part 1 the job state. Part 0 ends 200 pixels before the right edge, so the state text
// keeps its room however the window is sized. A right click in part 0 asks for the recent
// download folders menu, a double click for the folder picker.
#include <QStatusBar>

class QLabel;

class CMainStatusBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kStatePartWidth = 200;

    explicit CMainStatusBar(QWidget* parent = nullptr);

    // Where part 0 ends for a status bar `width` pixels wide: width - 200, but at least 1.
    static int FolderPartWidth(int width);

    void SetFolderText(const QString& path);
    void SetStateText(const QString& text);
    QString FolderText() const;
    QString StateText() const;
    QWidget* FolderPart() const { return m_folderPart; }
    QLabel* StatePart() const { return m_statePart; }

signals:
    void folderMenuRequested(const QPoint& globalPos);
    void folderDoubleClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_folderPart;
    QLabel* m_folderLabel;
    QLabel* m_statePart;
};
