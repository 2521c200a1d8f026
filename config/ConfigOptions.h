#pragma once
// The user's options for download jobs and their file, QuarrowOptions.xml in the
// application folder.
#include "config/FileSavePolicy.h"
#include "config/FileType.h"
#include "config/KnownFileTypes.h"
#include "helpers/WinDirectory.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Units of m_nMinSize and m_nMaxSize.
enum SizeUnits : std::int32_t {
    SU_BYTES = 0,
    SU_KB = 1,
    SU_MB = 2,
    SU_GB = 3,
};

// Levels of m_respFactor and m_dvRefreshRate.
enum OptionLevel : std::int32_t {
    LEVEL_LOW = 0,
    LEVEL_MED = 1,
    LEVEL_HIGH = 2,
};

// Bytes per unit: 1, 1024, 1048576, 1073741824; 0 for a value that is no unit.
std::int64_t SizeUnitFactor(std::int32_t units);
// size * factor in 64 bits, so 350 GB does not overflow.
std::int64_t SizeInBytes(std::int32_t size, std::int32_t units);
// "byte(s)", "KB", "MB", "GB"; empty for a value that is no unit.
const char* SizeUnitName(std::int32_t units);
// "LOW", "MED", "HIGH"; empty for another value.
const char* LevelName(std::int32_t level);
// Period of the download view's refresh timer: 1050, 700 or 350 ms.
unsigned RefreshPeriodMs(std::int32_t dvRefreshRate);

// Fills `folder` with the per-user application folder, .../Orlendi/Quarrow/ under the XDG
// data home. The data home and Orlendi are created if missing, Quarrow is not. False if
// the folder cannot be determined or created.
bool GetAppDataFolder(HELPERS::WinDirectory& folder);

// Fills `folder` with "Quarrow Downloads/" in the user's documents folder (which is created
// if missing; the download folder itself is not). False if the documents folder cannot be
// determined.
bool GetDefaultDownloadFolder(HELPERS::WinDirectory& folder);

class ConfigOptions {
public:
    static constexpr const char* kFileName = "QuarrowOptions.xml";
    static constexpr const char* kMutexName = "QR_CO_MUTEX_4883";
    static constexpr unsigned kMutexWaitMs = 3000;
    static constexpr const char* kDefaultUserAgent = "Quarrow/1.2";

    // Empty folder, type list and user agent; the numbers mean nothing until Restore or
    // SetDefaults. Copies share the CFileType objects.
    ConfigOptions() = default;

    // Fills the record from the file at `path` (null: the default file). A file that is
    // missing, damaged, not a regular file, or locked by another instance for too long
    // gives the defaults. A stored user agent holding a control character gives the
    // default agent.
    // Throws HELPERS::WException when the defaults cannot be set either, and (after
    // setting them) when the lock folder is not safe to use.
    void Restore(const char* path);

    // Writes the file at `path` (null: the default file, creating its folder) if
    // m_bModified is set; otherwise does nothing. The old file is replaced in one step.
    // A file that cannot be written is silently left as it was. Throws HELPERS::WException
    // if the mutex cannot be had (also when its lock folder is not safe to use) or the
    // folder cannot be created.
    void Save(const char* path) const;

    // Sets every default; appends the default types to the list. False if the documents
    // folder cannot be determined (the folder is then left as it was, the rest is set).
    // m_bModified is not touched.
    bool SetDefaults();

    // The document Save writes.
    std::string ToXml() const;

    bool m_bModified = false;
    HELPERS::WinDirectory m_downloadFolder;
    std::int32_t m_nMinSize = 0;
    std::int32_t m_minSizeUnits = 0;
    std::int32_t m_nMaxSize = 0;
    std::int32_t m_maxSizeUnits = 0;
    std::vector<std::shared_ptr<CFileType>> m_fileTypes;
    FileSavePolicy m_fileSavePolicy = FSP_SKIP;
    std::int32_t m_nMaxConcurrentDownloads = 0;
    std::string m_userAgent;
    std::int32_t m_respFactor = 0;
    std::int32_t m_dvRefreshRate = 0;

private:
    void FallBackToDefaults();
};
