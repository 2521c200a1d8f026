#include "config/PersistSettings.h"

#include "config/ArchiveReader.h"
#include "config/ArchiveWriter.h"
#include "config/SettingsFile.h"
#include "config/ConfigOptions.h"
#include "helpers/AsciiText.h"
#include "helpers/NamedMutex.h"
#include "helpers/PathHelpers.h"
#include "helpers/WException.h"

using HELPERS::WException;
using HELPERS::WinDirectory;

namespace {

const char* const kSettingsClass = "PersistSettings";
const char* const kStringListClass = "deque<string>";

constexpr std::size_t kMaxRecentDownloadFolders = 15;

template <class List>
void WriteStringList(ArchiveWriter& w, const char* name, const List& list, const ArchiveWriter::Attributes& attributes)
{
    w.StartElement(name, attributes);
    w.NumberElement("count", static_cast<std::int64_t>(list.size()));
    for (const std::string& entry : list)
        w.StringElement("item", entry);
    w.EndElement();
}

void WriteNumberList(ArchiveWriter& w, const char* name, const std::vector<std::int32_t>& list)
{
    w.StartElement(name);
    w.NumberElement("count", static_cast<std::int64_t>(list.size()));
    for (std::int32_t entry : list)
        w.NumberElement("item", entry);
    w.EndElement();
}

// Lists are emptied first and filled in file order, so a failure part-way keeps the
// entries before it.
void ReadStringList(ArchiveElement& parent, const char* name, std::deque<std::string>& list)
{
    ArchiveElement e = parent.Next(name);
    const std::size_t count = e.NextCount();
    list.clear();
    for (std::size_t i = 0; i < count; ++i)
        list.push_back(e.NextString("item"));
}

void ReadNumberList(ArchiveElement& parent, const char* name, std::vector<std::int32_t>& list)
{
    ArchiveElement e = parent.Next(name);
    const std::size_t count = e.NextCount();
    list.clear();
    for (std::size_t i = 0; i < count; ++i)
        list.push_back(e.NextInt32("item"));
}

void ReadDocument(const ArchiveReader& reader, PersistSettings& s)
{
    ArchiveElement root = reader.Root("PersistSettings");
    const unsigned version = root.Version();
    if (version > PersistSettings::kClassVersion)
        throw ArchiveError("settings written by a newer version");

    ReadStringList(root, "m_recentSites", s.m_recentSites);
    if (version >= 1)
        ReadStringList(root, "m_recentCopyMoveFolders", s.m_recentCopyMoveFolders);
    s.m_frameWinPos.left = root.NextInt32("m_frameWinPos.left");
    s.m_frameWinPos.top = root.NextInt32("m_frameWinPos.top");
    s.m_frameWinPos.right = root.NextInt32("m_frameWinPos.right");
    s.m_frameWinPos.bottom = root.NextInt32("m_frameWinPos.bottom");
    if (version >= 2)
        ReadNumberList(root, "m_ftViewColWidths", s.m_ftViewColWidths);
    if (version >= 3)
        ReadStringList(root, "m_recentDownloadFolders", s.m_recentDownloadFolders);
    if (version >= 4) {
        ReadNumberList(root, "m_mainViewHdrCols", s.m_mainViewHdrCols);
        ReadNumberList(root, "m_mainViewHdrColOrdering", s.m_mainViewHdrColOrdering);
        ReadNumberList(root, "m_mainViewHdrColWidths", s.m_mainViewHdrColWidths);
    }
}

} // namespace

std::string PersistSettings::ToXml() const
{
    ArchiveWriter w;
    w.StartElement("PersistSettings", w.ClassAttributes(kSettingsClass, 0, kClassVersion));
    WriteStringList(w, "m_recentSites", m_recentSites, w.ClassAttributes(kStringListClass, 0, 0));
    WriteStringList(w, "m_recentCopyMoveFolders", m_recentCopyMoveFolders, w.ClassAttributes(kStringListClass, 0, 0));
    w.NumberElement("m_frameWinPos.left", m_frameWinPos.left);
    w.NumberElement("m_frameWinPos.top", m_frameWinPos.top);
    w.NumberElement("m_frameWinPos.right", m_frameWinPos.right);
    w.NumberElement("m_frameWinPos.bottom", m_frameWinPos.bottom);
    WriteNumberList(w, "m_ftViewColWidths", m_ftViewColWidths);
    WriteStringList(w, "m_recentDownloadFolders", m_recentDownloadFolders, w.ClassAttributes(kStringListClass, 0, 0));
    WriteNumberList(w, "m_mainViewHdrCols", m_mainViewHdrCols);
    WriteNumberList(w, "m_mainViewHdrColOrdering", m_mainViewHdrColOrdering);
    WriteNumberList(w, "m_mainViewHdrColWidths", m_mainViewHdrColWidths);
    w.EndElement();
    return w.Finish();
}

void PersistSettings::Restore(const char* path) noexcept
{
    try {
        HELPERS::NamedMutex mutex(kMutexName);
        HELPERS::NamedMutexLock lock(mutex, kMutexWaitMs);
        if (!lock.OwnsLock()) {
            m_frameWinPos.SetEmpty();
            return;
        }
        const std::string file = SettingsFilePath(path, kFileName);
        ArchiveReader reader;
        if (file.empty() || !reader.Load(file)) {
            m_frameWinPos.SetEmpty();
            return;
        }
        ReadDocument(reader, *this);
    } catch (...) {
        m_frameWinPos.SetEmpty();
    }
}

void PersistSettings::Save(const char* path) const
{
    SaveSettingsFile(kMutexName, kMutexWaitMs, path, kFileName, ToXml(),
                     {"Could not persist settings", "Could not create folder to save persist settings!",
                      "Could not create folder to save persist settings: "});
}

void AddRecentDownloadFolder(const std::string& folder, PersistSettings& settings)
{
    auto& list = settings.m_recentDownloadFolders;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (!HELPERS::EqualsIgnoringAsciiCase(*it, folder))
            continue;
        if (it == list.begin())
            return;
        list.erase(it);
        list.push_front(folder);
        return;
    }
    if (list.size() >= kMaxRecentDownloadFolders)
        list.resize(kMaxRecentDownloadFolders - 1);
    list.push_front(folder);
}
