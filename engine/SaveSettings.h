#pragma once
#include "config/FileSavePolicy.h"
#include "helpers/WinDirectory.h"

#include <cstdint>

// What the transfer engine needs to know about saving, handed over before every job.
struct SaveSettings {
    std::int32_t m_fileSavePolicy = FSP_RENAME;
    HELPERS::WinDirectory m_downloadFolder;
    std::int32_t m_nMaxConcurrentDownloads = 3;
};
