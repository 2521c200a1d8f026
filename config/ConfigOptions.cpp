#include "config/ConfigOptions.h"

#include "config/ArchiveReader.h"
#include "config/ArchiveWriter.h"
#include "config/SettingsFile.h"
#include "helpers/AsciiText.h"
#include "helpers/NamedMutex.h"
#include "helpers/PathHelpers.h"
#include "helpers/UserFolders.h"
#include "helpers/WException.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <sys/stat.h>

using HELPERS::WException;
using HELPERS::WinDirectory;

std::int64_t SizeUnitFactor(std::int32_t units)
{
    switch (units) {
    case SU_BYTES: return 1;
    case SU_KB: return 1024;
    case SU_MB: return 1048576;
    case SU_GB: return 1073741824;
    default: return 0;
    }
}

std::int64_t SizeInBytes(std::int32_t size, std::int32_t units)
{
    return static_cast<std::int64_t>(size) * SizeUnitFactor(units);
}

const char* SizeUnitName(std::int32_t units)
{
    switch (units) {
    case SU_BYTES: return "byte(s)";
    case SU_KB: return "KB";
    case SU_MB: return "MB";
    case SU_GB: return "GB";
    default: return "";
    }
}

const char* LevelName(std::int32_t level)
{
    switch (level) {
    case LEVEL_LOW: return "LOW";
    case LEVEL_MED: return "MED";
    case LEVEL_HIGH: return "HIGH";
    default: return "";
    }
}

unsigned RefreshPeriodMs(std::int32_t dvRefreshRate)
{
    switch (dvRefreshRate) {
    case LEVEL_LOW: return 1050;
    case LEVEL_MED: return 700;
    default: return 350;
    }
}

bool GetAppDataFolder(WinDirectory& folder)
{
    const std::string dataHome = HELPERS::GetUserDataFolder();
    if (dataHome.empty() || !HELPERS::CreateFolderPath(dataHome))
        return false;
    const WinDirectory maker = HELPERS::GetFullDirectoryPath("Orlendi", dataHome);
    if (::mkdir(maker.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    folder = HELPERS::GetFullDirectoryPath("Quarrow", maker);
    return true;
}

bool GetDefaultDownloadFolder(WinDirectory& folder)
{
    const std::string documents = HELPERS::GetUserDocumentsFolder();
    if (documents.empty() || !HELPERS::CreateFolderPath(documents))
        return false;
    folder = HELPERS::GetFullDirectoryPath("Quarrow Downloads", documents);
    return true;
}

namespace {

// Class names as the writer tells them apart; only their order of first use shows in the file.
const char* const kOptionsClass = "ConfigOptions";
const char* const kDirectoryClass = "WinDirectory";
const char* const kTypeListClass = "vector<shared_ptr<CFileType>>";
const char* const kTypePointerClass = "shared_ptr<CFileType>";
const char* const kCountBlockClass = "sp_counted_base_impl<CFileType>";
const char* const kFileTypeClass = "CFileType";
const char* const kCountClass = "shared_count";

void ReadDocument(const ArchiveReader& reader, ConfigOptions& o)
{
    ArchiveElement root = reader.Root("ConfigOptions");
    ArchiveElement folder = root.Next("m_downloadFolder");
    o.m_downloadFolder = folder.NextString("dirName");
    o.m_nMinSize = root.NextInt32("m_nMinSize");
    o.m_minSizeUnits = root.NextInt32("m_minSizeUnits");
    o.m_nMaxSize = root.NextInt32("m_nMaxSize");
    o.m_maxSizeUnits = root.NextInt32("m_maxSizeUnits");

    ArchiveElement list = root.Next("m_fileTypes");
    const std::size_t count = list.NextCount();
    o.m_fileTypes.clear();
    // A pointer written twice is stored once and referred to by its object id afterwards.
    std::map<std::string, std::shared_ptr<CFileType>> objects;
    for (std::size_t i = 0; i < count; ++i) {
        ArchiveElement item = list.Next("item");
        ArchiveElement px = item.Next("px");
        std::shared_ptr<CFileType> type;
        if (px.HasAttribute("object_id_reference")) {
            const auto it = objects.find(px.Attribute("object_id_reference"));
            if (it == objects.end())
                throw ArchiveError("reference to an unknown file type");
            type = it->second;
        } else {
            type = std::make_shared<CFileType>();
            type->m_ext = px.NextString("m_ext");
            type->m_desc = px.NextString("m_desc");
            type->m_bChecked = px.NextBool("m_bChecked");
            if (px.HasAttribute("object_id"))
                objects[px.Attribute("object_id")] = type;
        }
        o.m_fileTypes.push_back(std::move(type));
    }

    o.m_fileSavePolicy = static_cast<FileSavePolicy>(root.NextInt32("m_fileSavePolicy"));
    o.m_nMaxConcurrentDownloads = root.NextInt32("m_nMaxConcurrentDownloads");
    o.m_userAgent = root.NextString("m_userAgent");
    // The agent becomes a header line: a control character in it could end that line and
    // add headers of its own.
    if (HELPERS::HasAsciiControl(o.m_userAgent))
        o.m_userAgent = ConfigOptions::kDefaultUserAgent;
    o.m_respFactor = root.NextInt32("m_respFactor");
    o.m_dvRefreshRate = root.NextInt32("m_dvRefreshRate");
}

} // namespace

std::string ConfigOptions::ToXml() const
{
    ArchiveWriter w;
    w.StartElement("ConfigOptions", w.ClassAttributes(kOptionsClass, 0, 0));
    w.StartElement("m_downloadFolder", w.ClassAttributes(kDirectoryClass, 0, 1));
    w.StringElement("dirName", m_downloadFolder.GetPath());
    w.EndElement();
    w.NumberElement("m_nMinSize", m_nMinSize);
    w.NumberElement("m_minSizeUnits", m_minSizeUnits);
    w.NumberElement("m_nMaxSize", m_nMaxSize);
    w.NumberElement("m_maxSizeUnits", m_maxSizeUnits);

    std::vector<const CFileType*> types;
    for (const auto& type : m_fileTypes) {
        if (type)
            types.push_back(type.get());
    }
    w.StartElement("m_fileTypes", w.ClassAttributes(kTypeListClass, 0, 0));
    w.NumberElement("count", static_cast<std::int64_t>(types.size()));
    for (const CFileType* type : types) {
        w.StartElement("item", w.ClassAttributes(kTypePointerClass, 0, 0));
        // The count block's class is numbered when the pointer starts, before its parts.
        w.RegisterClass(kCountBlockClass);
        int typeId = 0;
        w.StartElement("px", w.NewObjectAttributes(kFileTypeClass, 1, 0, typeId));
        w.StringElement("m_ext", type->m_ext);
        w.StringElement("m_desc", type->m_desc);
        w.NumberElement("m_bChecked", type->m_bChecked ? 1 : 0);
        w.EndElement();
        w.StartElement("pn", w.ClassAttributes(kCountClass, 0, 0));
        int countId = 0;
        w.StartElement("pi", w.NewObjectAttributes(kCountBlockClass, 1, 0, countId));
        w.EmptyElement("ptr", w.ObjectReferenceAttributes(kFileTypeClass, typeId));
        w.EndElement();
        w.EndElement();
        w.EndElement();
    }
    w.EndElement();

    w.NumberElement("m_fileSavePolicy", m_fileSavePolicy);
    w.NumberElement("m_nMaxConcurrentDownloads", m_nMaxConcurrentDownloads);
    w.StringElement("m_userAgent", m_userAgent);
    w.NumberElement("m_respFactor", m_respFactor);
    w.NumberElement("m_dvRefreshRate", m_dvRefreshRate);
    w.EndElement();
    return w.Finish();
}

bool ConfigOptions::SetDefaults()
{
    m_nMinSize = 1;
    m_minSizeUnits = SU_KB;
    m_nMaxSize = 350;
    m_maxSizeUnits = SU_MB;
    for (const auto& [ext, desc] : KnownFileTypes::Defaults())
        m_fileTypes.push_back(std::make_shared<CFileType>(ext, desc, true));
    m_fileSavePolicy = FSP_RENAME;
    m_nMaxConcurrentDownloads = 3;
    m_userAgent = kDefaultUserAgent;
    m_respFactor = LEVEL_MED;
    m_dvRefreshRate = LEVEL_MED;
    WinDirectory folder;
    if (!GetDefaultDownloadFolder(folder))
        return false;
    m_downloadFolder = folder;
    return true;
}

void ConfigOptions::FallBackToDefaults()
{
    // The defaults replace the list: types kept from before (or read from a damaged file)
    // would otherwise stand in front of them.
    m_fileTypes.clear();
    if (!SetDefaults())
        throw WException("Could not restore config options and could not set defaults either");
}

void ConfigOptions::Restore(const char* path)
{
    std::optional<HELPERS::NamedMutex> guard;
    try {
        guard.emplace(kMutexName);
    } catch (const WException&) {
        // No safe place for the lock: the defaults, and the reason for whoever shows it.
        FallBackToDefaults();
        throw;
    }
    HELPERS::NamedMutex& mutex = *guard;
    HELPERS::NamedMutexLock lock(mutex, kMutexWaitMs);
    if (!lock.OwnsLock()) {
        FallBackToDefaults();
        return;
    }

    const std::string file = SettingsFilePath(path, kFileName);
    ArchiveReader reader;
    if (file.empty() || !reader.Load(file)) {
        FallBackToDefaults();
        return;
    }
    ConfigOptions loaded;
    try {
        ReadDocument(reader, loaded);
    } catch (const ArchiveError&) {
        FallBackToDefaults();
        return;
    }
    loaded.m_bModified = m_bModified;
    *this = std::move(loaded);
}

void ConfigOptions::Save(const char* path) const
{
    if (!m_bModified)
        return;
    SaveSettingsFile(kMutexName, kMutexWaitMs, path, kFileName, ToXml(),
                     {"Could not save config options", "Could not create folder to save config options!",
                      "Could not create folder to save config options: "});
}
