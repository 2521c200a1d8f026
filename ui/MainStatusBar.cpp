#include "ui/MainStatusBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QStyle>

CMainStatusBar::CMainStatusBar(QWidget* parent)
    : QStatusBar(parent), m_folderPart(new QWidget(this)), m_folderLabel(new QLabel(m_folderPart)),
      m_statePart(new QLabel(this))
{
    setSizeGripEnabled(true);
    auto* layout = new QHBoxLayout(m_folderPart);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(4);
    auto* icon = new QLabel(m_folderPart);
    icon->setPixmap(style()->standardIcon(QStyle::SP_DirIcon).pixmap(16, 16));
    layout->addWidget(icon);
    layout->addWidget(m_folderLabel, 1);
    // The path may be longer than the part; it is cut, never allowed to widen the window.
    m_folderLabel->setMinimumWidth(0);
    m_folderLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_folderPart->setMinimumWidth(1);
    m_folderPart->installEventFilter(this);
    m_folderLabel->installEventFilter(this);
    icon->installEventFilter(this);
    // Ordinary (not permanent) widgets, so that a menu's status tip covers both parts while
    // it is shown, as the tips are meant to be read.
    addWidget(m_folderPart);
    addWidget(m_statePart, 1);
    m_statePart->setText("Ready");
}

int CMainStatusBar::FolderPartWidth(int width) { return width < kStatePartWidth + 2 ? 1 : width - kStatePartWidth; }

void CMainStatusBar::SetFolderText(const QString& path)
{
    m_folderLabel->setText(path);
    m_folderPart->setToolTip(path);
}

void CMainStatusBar::SetStateText(const QString& text)
{
    if (m_statePart->text() != text)
        m_statePart->setText(text);
}

QString CMainStatusBar::FolderText() const { return m_folderLabel->text(); }

QString CMainStatusBar::StateText() const { return m_statePart->text(); }

void CMainStatusBar::resizeEvent(QResizeEvent* event)
{
    m_folderPart->setFixedWidth(FolderPartWidth(event->size().width()));
    QStatusBar::resizeEvent(event);
}

bool CMainStatusBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            emit folderMenuRequested(mouse->globalPosition().toPoint());
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            emit folderDoubleClicked();
            return true;
        }
    }
    return QStatusBar::eventFilter(watched, event);
}
