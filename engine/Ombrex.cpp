#include "engine/Ombrex.h"

#include "engine/OmbrexImpl.h"

#include <set>

const char* DownloaderStateName(DownloaderState state)
{
    switch (state) {
    case DS_IDLE: return "DS_IDLE";
    case DS_FETCHING_PAGE: return "DS_FETCHING_PAGE";
    case DS_PAGE_FAILED: return "DS_PAGE_FAILED";
    case DS_PAGE_CANCELLED: return "DS_PAGE_CANCELLED";
    case DS_DOWNLOADING: return "DS_DOWNLOADING";
    case DS_DOWNLOADS_CANCELLED: return "DS_DOWNLOADS_CANCELLED";
    case DS_DOWNLOADS_FAILED: return "DS_DOWNLOADS_FAILED";
    case DS_COMPLETED: return "DS_COMPLETED";
    }
    return "DS_UNKNOWN";
}

const char* DownloaderStateLabel(DownloaderState state, bool cancelling)
{
    switch (state) {
    case DS_FETCHING_PAGE: return cancelling ? "Canceling main page request..." : "Requesting main page...";
    case DS_DOWNLOADING: return cancelling ? "Canceling file download..." : "Downloading files...";
    case DS_COMPLETED: return "Completed";
    case DS_PAGE_FAILED: return "Could not retrieve requested URL";
    case DS_PAGE_CANCELLED:
    case DS_DOWNLOADS_CANCELLED: return "Cancelled";
    case DS_DOWNLOADS_FAILED: return "Downloading files failed";
    case DS_IDLE: break;
    }
    return "Ready";
}

bool IsFinalState(DownloaderState state)
{
    return state == DS_PAGE_FAILED || state == DS_PAGE_CANCELLED || state == DS_DOWNLOADS_CANCELLED ||
           state == DS_DOWNLOADS_FAILED || state == DS_COMPLETED;
}

std::unique_ptr<IOmbrex> CreateOmbrex() { return std::make_unique<COmbrex>(); }

CDownloadFilter BuildDownloadFilter(const ConfigOptions& options)
{
    CDownloadFilter filter;
    std::set<std::string> include;
    for (const auto& type : options.m_fileTypes)
        if (type && type->m_bChecked)
            include.insert(type->m_ext);
    filter.SetIncludeExtensionSet(include);
    filter.m_bUseInclude = true;
    filter.m_bUseExclude = true;
    filter.SetMinFileSize(SizeInBytes(options.m_nMinSize, options.m_minSizeUnits));
    filter.SetMaxFileSize(SizeInBytes(options.m_nMaxSize, options.m_maxSizeUnits));
    return filter;
}

SaveSettings MakeSaveSettings(const ConfigOptions& options)
{
    SaveSettings save;
    save.m_fileSavePolicy = options.m_fileSavePolicy;
    save.m_downloadFolder = options.m_downloadFolder;
    save.m_nMaxConcurrentDownloads = options.m_nMaxConcurrentDownloads;
    return save;
}
