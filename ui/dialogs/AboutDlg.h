#pragma once
// The modal "About Quarrow" box: the banner, the product's name, version and maker, and two
// links to the maker's web site, its start page as text and its donation page as a picture.
#include <QDialog>

class CHyperLink;
class CSvgPicture;
class QLabel;
class QPushButton;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kSitePath = "/index.php?referer=quarrow_program";
    static constexpr const char* kDonatePath = "/donate.php?referer=quarrow_program";
    static constexpr const char* kBannerPicture = ":/icons/about-banner.svg";
    static constexpr const char* kDonatePicture = ":/icons/donate.svg";

    // Centred on `owner` (may be null: on the screen).
    explicit CAboutDlg(QWidget* owner = nullptr);

    CSvgPicture* Banner() const { return m_banner; }
    QLabel* NameLabel() const { return m_nameLabel; }
    QLabel* VersionLabel() const { return m_versionLabel; }
    QLabel* CopyrightLabel() const { return m_copyrightLabel; }
    CHyperLink* SiteLink() const { return m_siteLink; }
    CHyperLink* DonateLink() const { return m_donateLink; }
    QPushButton* OkButton() const { return m_okButton; }

private:
    CSvgPicture* m_banner;
    QLabel* m_nameLabel;
    QLabel* m_versionLabel;
    QLabel* m_copyrightLabel;
    CHyperLink* m_siteLink;
    CHyperLink* m_donateLink;
    QPushButton* m_okButton;
};
