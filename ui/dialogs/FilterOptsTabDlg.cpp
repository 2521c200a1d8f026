#include "ui/dialogs/FilterOptsTabDlg.h"

#include "config/ConfigOptions.h"
#include "ui/dialogs/AddModifyFileTypeDlg.h"
#include "ui/dialogs/ControlException.h"
#include "ui/dialogs/NormalizeExtension.h"
#include "ui/dialogs/OptionTypesView.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr std::int64_t kMaxFilterBytes = 1000LL * 1073741824LL;

QComboBox* NewUnitList(QWidget* parent)
{
    auto* units = new QComboBox(parent);
    for (std::int32_t u = SU_BYTES; u <= SU_GB; ++u)
        units->addItem(QString::fromLatin1(SizeUnitName(u)));
    units->setCurrentIndex(SU_KB);
    return units;
}

// The usual limit, or the length of a longer text the field must hold.
void FitLimitTo(QLineEdit* edit, const QString& text)
{
    edit->setMaxLength(std::max<int>(CFilterOptsTabDlg::kMaxSizeLength, text.size()));
}

QLineEdit* NewSizeEdit(QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(CFilterOptsTabDlg::kMaxSizeLength);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 12);
    // A longer stored value widened the limit to show it whole; typing never goes past the
    // text it started from, and shrinks the limit back towards the usual one.
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) { FitLimitTo(edit, text); });
    return edit;
}

// A stored size as its decimal text, whole even when it is longer than typing allows (the
// limit would cut it, and an Apply of another change would save the cut number).
void ShowSize(QLineEdit* edit, std::int32_t value)
{
    const QString text = QString::number(value);
    FitLimitTo(edit, text);
    edit->setText(text);
}

// The leading decimal digits as a number; 0 when there are none.
std::int32_t LeadingNumber(const QString& text)
{
    std::int64_t value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = std::min<std::int64_t>(value * 10 + (c.unicode() - '0'), INT32_MAX);
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

CFilterOptsTabDlg::CFilterOptsTabDlg(QWidget* owner, QWidget* parent) : QWidget(parent), m_owner(owner)
{
    auto* sizeGroup = new QGroupBox(QStringLiteral("File Size Range"), this);
    auto* minLabel = new QLabel(QStringLiteral("Mi&n:"), sizeGroup);
    m_minEdit = NewSizeEdit(sizeGroup);
    m_minUnits = NewUnitList(sizeGroup);
    minLabel->setBuddy(m_minEdit);
    auto* maxLabel = new QLabel(QStringLiteral("Ma&x:"), sizeGroup);
    m_maxEdit = NewSizeEdit(sizeGroup);
    m_maxUnits = NewUnitList(sizeGroup);
    maxLabel->setBuddy(m_maxEdit);
    auto* sizeLayout = new QHBoxLayout(sizeGroup);
    sizeLayout->addWidget(minLabel);
    sizeLayout->addWidget(m_minEdit);
    sizeLayout->addWidget(m_minUnits);
    sizeLayout->addSpacing(16);
    sizeLayout->addWidget(maxLabel);
    sizeLayout->addWidget(m_maxEdit);
    sizeLayout->addWidget(m_maxUnits);
    sizeLayout->addStretch(1);

    auto* typesGroup = new QGroupBox(QStringLiteral("File Types to Download"), this);
    auto* picture = new QLabel(typesGroup);
    picture->setPixmap(style()->standardIcon(QStyle::SP_FileIcon).pixmap(32, 32));
    picture->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_typesView = new COptionTypesView(typesGroup);
    // Room for a dozen types without scrolling.
    m_typesView->setMinimumHeight(m_typesView->verticalHeader()->defaultSectionSize() * 12 +
                                  m_typesView->horizontalHeader()->sizeHint().height() + 4);
    m_addButton = new QPushButton(QStringLiteral("&Add"), typesGroup);
    m_removeButton = new QPushButton(QStringLiteral("&Remove"), typesGroup);
    m_addButton->setAutoDefault(false);
    m_removeButton->setAutoDefault(false);
    auto* side = new QVBoxLayout;
    side->addWidget(picture);
    side->addStretch(1);
    side->addWidget(m_addButton);
    side->addWidget(m_removeButton);
    auto* typesLayout = new QHBoxLayout(typesGroup);
    typesLayout->addWidget(m_typesView, 1);
    typesLayout->addLayout(side);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sizeGroup);
    layout->addWidget(typesGroup, 1);

    connect(m_minEdit, &QLineEdit::textChanged, this, &CFilterOptsTabDlg::SetModified);
    connect(m_maxEdit, &QLineEdit::textChanged, this, &CFilterOptsTabDlg::SetModified);
    connect(m_minUnits, &QComboBox::activated, this, &CFilterOptsTabDlg::SetModified);
    connect(m_maxUnits, &QComboBox::activated, this, &CFilterOptsTabDlg::SetModified);
    connect(m_typesView, &COptionTypesView::checkToggled, this, &CFilterOptsTabDlg::modifiedChanged);
    connect(m_typesView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CFilterOptsTabDlg::UpdateRemoveButton);
    connect(m_typesView->model(), &QAbstractItemModel::modelReset, this, &CFilterOptsTabDlg::UpdateRemoveButton);
    connect(m_addButton, &QPushButton::clicked, this, &CFilterOptsTabDlg::OnAdd);
    connect(m_removeButton, &QPushButton::clicked, this, &CFilterOptsTabDlg::OnRemove);
    UpdateRemoveButton();
}

CFilterOptsTabDlg::~CFilterOptsTabDlg() = default;

void CFilterOptsTabDlg::SetOptions(const ConfigOptions& options)
{
    ShowSize(m_minEdit, options.m_nMinSize);
    m_minUnits->setCurrentIndex(options.m_minSizeUnits);
    ShowSize(m_maxEdit, options.m_nMaxSize);
    m_maxUnits->setCurrentIndex(options.m_maxSizeUnits);
    m_typesView->SetTypes(options.m_fileTypes);
}

void CFilterOptsTabDlg::GetOptions(ConfigOptions& options) const
{
    options.m_nMinSize = LeadingNumber(m_minEdit->text());
    options.m_minSizeUnits = m_minUnits->currentIndex();
    options.m_nMaxSize = LeadingNumber(m_maxEdit->text());
    options.m_maxSizeUnits = m_maxUnits->currentIndex();
    options.m_fileTypes = m_typesView->GetTypes();
}

std::int64_t CFilterOptsTabDlg::ValidatedSize(QLineEdit* edit, QComboBox* units)
{
    const QString text = edit->text().left(14);
    const auto refuse = [edit](const char* message) {
        edit->setFocus();
        edit->selectAll();
        return CControlException(message, edit);
    };
    if (text.isEmpty())
        throw refuse("File size filter cannot be empty");
    static const QRegularExpression digits(QStringLiteral("\\A\\d+\\z"));
    if (!digits.match(text).hasMatch())
        throw refuse("Invalid number entered for size filter");
    const std::int64_t factor = SizeUnitFactor(units->currentIndex());
    if (factor == 0)
        throw refuse("Invalid selection for file size units");
    const std::int64_t bytes = text.toLongLong() * factor;
    if (bytes > kMaxFilterBytes)
        throw refuse("File size value specified for filter must be less than 1000GB");
    return bytes;
}

void CFilterOptsTabDlg::Validate()
{
    const std::int64_t minBytes = ValidatedSize(m_minEdit, m_minUnits);
    const std::int64_t maxBytes = ValidatedSize(m_maxEdit, m_maxUnits);
    if (minBytes > maxBytes) {
        m_minEdit->setFocus();
        m_minEdit->selectAll();
        throw CControlException("Value for min size value cannot be greater than that of max size.", m_minEdit);
    }
}

void CFilterOptsTabDlg::EnableControls(bool enable)
{
    m_enabled = enable;
    m_minEdit->setEnabled(enable);
    m_minUnits->setEnabled(enable);
    m_maxEdit->setEnabled(enable);
    m_maxUnits->setEnabled(enable);
    m_addButton->setEnabled(enable);
    m_typesView->SetEditable(enable);
    UpdateRemoveButton();
}

void CFilterOptsTabDlg::SetModified()
{
    m_modified = true;
    emit modifiedChanged();
}

void CFilterOptsTabDlg::UpdateRemoveButton()
{
    if (m_removing)
        return;
    const bool enable = m_enabled && m_typesView->SelectedIndex() >= 0;
    if (!enable && m_removeButton->hasFocus())
        m_addButton->setFocus();
    m_removeButton->setEnabled(enable);
}

void CFilterOptsTabDlg::OnAdd()
{
    m_addDlg = std::make_unique<CAddModifyFileTypeDlg>(this, CAddModifyFileTypeDlg::MODE_ADD, m_owner);
    m_addDlg->show();
    if (m_owner)
        m_owner->setEnabled(false);
    m_addDlg->ExtensionEdit()->setFocus();
}

void CFilterOptsTabDlg::OnRemove()
{
    // The list is rebuilt without a selection for a moment; judge the button once the
    // selection has moved, so the focus stays on Remove while there is more to remove.
    {
        const QScopedValueRollback<bool> removing(m_removing, true);
        if (m_typesView->RemoveSelected())
            SetModified();
    }
    UpdateRemoveButton();
}

bool CFilterOptsTabDlg::ValidateExtension(const std::string& text, std::string& message)
{
    try {
        NormalizeExtension(text);
        return true;
    } catch (const std::runtime_error&) {
        message = text + " is NOT a valid extension.";
        return false;
    }
}

bool CFilterOptsTabDlg::ExtensionExists(const std::string& text)
{
    const std::string pattern = NormalizeExtension(text);
    const auto& types = m_typesView->Types();
    return std::any_of(types.begin(), types.end(), [&pattern](const auto& type) { return type->m_ext == pattern; });
}

void CFilterOptsTabDlg::AddFileType(const std::string& text)
{
    m_typesView->AddFileType(text, true);
    SetModified();
}

void CFilterOptsTabDlg::OnAddFileTypeDlgClosed()
{
    if (m_owner)
        m_owner->setEnabled(true);
}
