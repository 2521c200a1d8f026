#include "ui/FileIconCache.h"

#include "helpers/PathHelpers.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QStyle>

namespace {

CFileIconCache* g_cache = nullptr;

const char* StatusIconPath(DownloadItemStatus status)
{
    switch (status) {
    case DIS_COMPLETED: return ":/icons/status-completed.svg";
    case DIS_QUEUED: return ":/icons/status-queued.svg";
    case DIS_CANCELLED: return ":/icons/status-cancelled.svg";
    case DIS_ERRORED: return ":/icons/status-errored.svg";
    case DIS_SKIPPED: return ":/icons/status-skipped.svg";
    case DIS_DELETED: return ":/icons/status-deleted.svg";
    case DIS_IN_PROGRESS: break;
    }
    return nullptr;
}

} // namespace

void CFileIconCache::SetUpIconTheme()
{
    // A session without a desktop has only the bare hicolor theme, which holds no
    // file-type icons; Adwaita has them wherever it is installed.
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
}

CFileIconCache* CFileIconCache::GetInstance()
{
    if (!g_cache) {
        SetUpIconTheme();
        g_cache = new CFileIconCache();
    }
    return g_cache;
}

void CFileIconCache::Release()
{
    delete g_cache;
    g_cache = nullptr;
}

QIcon CFileIconCache::IconFor(const std::string& fileName)
{
    const QString extension = QString::fromStdString(HELPERS::GetFileExtension(fileName)).toLower();
    const auto found = m_icons.constFind(extension);
    if (found != m_icons.constEnd())
        return *found;

    // By name only: the file may not exist yet, and a lookup must never touch the disk.
    const QMimeType type = QMimeDatabase().mimeTypeForFile(
        extension.isEmpty() ? QStringLiteral("file") : "file" + extension, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    m_icons.insert(extension, icon);
    return icon;
}

QIcon CFileIconCache::StatusIcon(DownloadItemStatus status)
{
    const auto found = m_statusIcons.constFind(status);
    if (found != m_statusIcons.constEnd())
        return *found;
    const char* path = StatusIconPath(status);
    const QIcon icon = path ? QIcon(QString::fromLatin1(path)) : QIcon();
    m_statusIcons.insert(status, icon);
    return icon;
}
