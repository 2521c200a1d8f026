#include "ui/dialogs/MiscOptsTabDlg.h"

#include "config/ConfigOptions.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QComboBox* NewLevelList(QWidget* parent)
{
    auto* list = new QComboBox(parent);
    for (std::int32_t level = LEVEL_LOW; level <= LEVEL_HIGH; ++level)
        list->addItem(QString::fromLatin1(LevelName(level)));
    list->setCurrentIndex(LEVEL_MED);
    return list;
}

} // namespace

CMiscOptsTabDlg::CMiscOptsTabDlg(QWidget* parent) : QWidget(parent)
{
    auto* duplicates = new QGroupBox(QStringLiteral("Duplicate Filenames"), this);
    m_skip = new QRadioButton(QStringLiteral("S&kip"), duplicates);
    m_overwrite = new QRadioButton(QStringLiteral("&Overwrite"), duplicates);
    m_rename = new QRadioButton(QStringLiteral("Rena&me"), duplicates);
    auto* policies = new QButtonGroup(this);
    policies->addButton(m_skip, FSP_SKIP);
    policies->addButton(m_overwrite, FSP_OVERWRITE);
    policies->addButton(m_rename, FSP_RENAME);
    auto* duplicatesLayout = new QVBoxLayout(duplicates);
    duplicatesLayout->addWidget(m_skip);
    duplicatesLayout->addWidget(m_overwrite);
    duplicatesLayout->addWidget(m_rename);
    duplicatesLayout->addStretch(1);

    auto* concurrency = new QGroupBox(QStringLiteral("Co&ncurrent Downloads"), this);
    m_concurrent = new QSpinBox(concurrency);
    m_concurrent->setRange(1, kMaxConcurrentDownloads);
    m_concurrent->setValue(1);
    m_concurrent->setAlignment(Qt::AlignRight);
    m_concurrent->setFixedWidth(m_concurrent->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 40);
    // Only the arrows change the number; typing is refused.
    if (auto* edit = m_concurrent->findChild<QLineEdit*>())
        edit->setReadOnly(true);
    auto* concurrencyLayout = new QVBoxLayout(concurrency);
    concurrencyLayout->addWidget(m_concurrent);
    concurrencyLayout->addWidget(new QLabel(QStringLiteral("[Maximum 6]"), concurrency));
    concurrencyLayout->addStretch(1);
    // The group's mnemonic reaches the number.
    concurrency->setFocusProxy(m_concurrent);

    auto* agent = new QGroupBox(QStringLiteral("&User Agent"), this);
    m_userAgent = new QComboBox(agent);
    m_userAgent->setEditable(true);
    m_userAgent->setInsertPolicy(QComboBox::NoInsert);
    m_userAgent->addItems(
        {QStringLiteral("Quarrow/1.2"), QStringLiteral("Internet Explorer 5.0"), QStringLiteral("Mozilla Firefox")});
    m_userAgent->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* agentLayout = new QVBoxLayout(agent);
    agentLayout->addWidget(m_userAgent);
    agent->setFocusProxy(m_userAgent);

    auto* advanced = new QGroupBox(QStringLiteral("Advanced Settings"), this);
    m_refreshRate = NewLevelList(advanced);
    m_responsiveness = NewLevelList(advanced);
    auto* refreshLabel = new QLabel(QStringLiteral("Download view &refresh rate:"), advanced);
    refreshLabel->setBuddy(m_refreshRate);
    auto* responsivenessLabel = new QLabel(QStringLiteral("UI res&ponsiveness:"), advanced);
    responsivenessLabel->setBuddy(m_responsiveness);
    auto* advancedLayout = new QFormLayout(advanced);
    advancedLayout->addRow(refreshLabel, m_refreshRate);
    advancedLayout->addRow(responsivenessLabel, m_responsiveness);

    auto* top = new QHBoxLayout;
    top->addWidget(duplicates, 1);
    top->addWidget(concurrency, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(agent);
    layout->addWidget(advanced);
    layout->addStretch(1);

    connect(m_concurrent, &QSpinBox::valueChanged, this, &CMiscOptsTabDlg::SetModified);
    connect(m_userAgent, &QComboBox::editTextChanged, this, &CMiscOptsTabDlg::SetModified);
    connect(m_userAgent, &QComboBox::activated, this, &CMiscOptsTabDlg::SetModified);
    connect(policies, &QButtonGroup::buttonClicked, this, &CMiscOptsTabDlg::SetModified);
    connect(m_refreshRate, &QComboBox::activated, this, &CMiscOptsTabDlg::SetModified);
    connect(m_responsiveness, &QComboBox::activated, this, &CMiscOptsTabDlg::SetModified);
}

void CMiscOptsTabDlg::SetOptions(const ConfigOptions& options)
{
    QRadioButton* policy = options.m_fileSavePolicy == FSP_SKIP        ? m_skip
                           : options.m_fileSavePolicy == FSP_OVERWRITE ? m_overwrite
                           : options.m_fileSavePolicy == FSP_RENAME    ? m_rename
                                                                       : nullptr;
    if (policy) {
        policy->setChecked(true);
    } else {
        // No button for an unknown policy: the group must let all three go.
        auto* group = m_skip->group();
        group->setExclusive(false);
        for (QAbstractButton* button : group->buttons())
            button->setChecked(false);
        group->setExclusive(true);
    }
    m_concurrent->setValue(options.m_nMaxConcurrentDownloads);
    m_userAgent->setEditText(QString::fromStdString(options.m_userAgent));
    m_refreshRate->setCurrentIndex(options.m_dvRefreshRate);
    m_responsiveness->setCurrentIndex(options.m_respFactor);
}

void CMiscOptsTabDlg::GetOptions(ConfigOptions& options) const
{
    options.m_fileSavePolicy = m_skip->isChecked() ? FSP_SKIP : m_overwrite->isChecked() ? FSP_OVERWRITE : FSP_RENAME;
    options.m_nMaxConcurrentDownloads = m_concurrent->value();
    options.m_userAgent = m_userAgent->currentText().left(kMaxUserAgentLength).toStdString();
    options.m_dvRefreshRate = m_refreshRate->currentIndex();
    options.m_respFactor = m_responsiveness->currentIndex();
}

void CMiscOptsTabDlg::EnableControls(bool enable)
{
    for (QWidget* control : std::initializer_list<QWidget*>{m_skip, m_overwrite, m_rename, m_concurrent, m_userAgent,
                                                            m_refreshRate, m_responsiveness})
        control->setEnabled(enable);
}

void CMiscOptsTabDlg::SetModified()
{
    m_modified = true;
    emit modifiedChanged();
}
