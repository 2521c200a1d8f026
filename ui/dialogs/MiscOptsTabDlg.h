#pragma once
// The Options dialog's "Misc" page: what to do with duplicate file names, concurrent
// downloads, the user agent and the two rates.
#include <QWidget>

class ConfigOptions;
class QComboBox;
class QRadioButton;
class QSpinBox;

class CMiscOptsTabDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxConcurrentDownloads = 6;
    static constexpr int kMaxUserAgentLength = 254;

    explicit CMiscOptsTabDlg(QWidget* parent = nullptr);

    void SetOptions(const ConfigOptions& options);
    void GetOptions(ConfigOptions& options) const;

    bool IsModified() const { return m_modified; }
    void ClearModified() { m_modified = false; }
    void EnableControls(bool enable);

    QRadioButton* SkipButton() const { return m_skip; }
    QRadioButton* OverwriteButton() const { return m_overwrite; }
    QRadioButton* RenameButton() const { return m_rename; }
    QSpinBox* ConcurrentDownloads() const { return m_concurrent; }
    QComboBox* UserAgent() const { return m_userAgent; }
    QComboBox* RefreshRate() const { return m_refreshRate; }
    QComboBox* Responsiveness() const { return m_responsiveness; }

signals:
    void modifiedChanged();

private:
    void SetModified();

    QRadioButton* m_skip;
    QRadioButton* m_overwrite;
    QRadioButton* m_rename;
    QSpinBox* m_concurrent;
    QComboBox* m_userAgent;
    QComboBox* m_refreshRate;
    QComboBox* m_responsiveness;
    bool m_modified = false;
};
