#pragma once
// Small icons for the download list: file-type icons looked up by name only (no disk
// access) and cached per extension, and the status icons of the Progress column.
#include "engine/DownloadItem.h"

#include <QHash>
#include <QIcon>
#include <QString>

#include <string>

class CFileIconCache {
public:
    // The one instance, created on first use.
    static CFileIconCache* GetInstance();
    // Gives the icon theme its fallback; before the first widget asks the style for a
    // picture, since that settles the theme. GetInstance does it too.
    static void SetUpIconTheme();
    // Frees the instance at program exit (if it was created).
    static void Release();

    QIcon IconFor(const std::string& fileName);
    // Empty for an item in progress (it shows a bar).
    QIcon StatusIcon(DownloadItemStatus status);

    // How many extensions have been looked up (names without one count as one).
    int CachedCount() const { return static_cast<int>(m_icons.size()); }

private:
    CFileIconCache() = default;

    QHash<QString, QIcon> m_icons;
    QHash<int, QIcon> m_statusIcons;
};
