#include "ui/dialogs/AboutDlg.h"

#include "ui/HyperLink.h"
#include "ui/MakerSite.h"
#include "ui/SvgPicture.h"
#include "ui/dialogs/OwnedWindow.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

namespace {

const QSize kBannerSize(402, 115);
const QSize kDonateSize(120, 40);

} // namespace

CAboutDlg::CAboutDlg(QWidget* owner)
    : QDialog(owner), m_banner(new CSvgPicture(QString::fromLatin1(kBannerPicture), kBannerSize, this)),
      m_nameLabel(new QLabel(QStringLiteral("Quarrow"), this)),
      m_versionLabel(new QLabel(QStringLiteral("Version 1.2"), this)),
      m_copyrightLabel(new QLabel(QStringLiteral("Copyright \u00A9 2026 Orlendi"), this)),
      m_siteLink(new CHyperLink(QString::fromLatin1(kMakerSite), this)), m_donateLink(new CHyperLink(QString(), this)),
      m_okButton(nullptr)
{
    setWindowTitle(QStringLiteral("About Quarrow"));
    setModal(true);

    QFont nameFont = m_nameLabel->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.5);
    m_nameLabel->setFont(nameFont);
    m_siteLink->SetTarget(std::string(kMakerSite) + kSitePath);
    m_donateLink->SetPicture(QString::fromLatin1(kDonatePicture), kDonateSize);
    m_donateLink->SetTarget(std::string(kMakerSite) + kDonatePath);
    m_donateLink->setToolTip(QStringLiteral("Donate"));

    auto* visitRow = new QHBoxLayout;
    visitRow->addWidget(new QLabel(QStringLiteral("Visit -->"), this));
    visitRow->addWidget(m_siteLink);
    visitRow->addStretch(1);

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QDialogButtonBox(this);
    m_okButton = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_okButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(16, 10, 16, 10);
    // The outer layout has no spacing so the banner meets the edges; the text keeps its own.
    body->setSpacing(6);
    body->addWidget(m_nameLabel);
    body->addWidget(m_versionLabel);
    body->addWidget(m_copyrightLabel);
    body->addSpacing(8);
    body->addLayout(visitRow);
    body->addWidget(new QLabel(QStringLiteral("for more great products!"), this));
    body->addSpacing(4);
    body->addWidget(m_donateLink, 0, Qt::AlignHCenter);
    body->addStretch(1);
    body->addWidget(separator);
    body->addWidget(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_banner, 0, Qt::AlignHCenter);
    layout->addLayout(body, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_okButton->setFocus();
    PlaceOwnedWindow(this, owner, true);
}
