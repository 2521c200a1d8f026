#pragma once
#include <cstdint>

// What to do when a downloaded file's name already exists in the download folder.
enum FileSavePolicy : std::int32_t {
    FSP_SKIP = 0,
    FSP_OVERWRITE = 1,
    FSP_RENAME = 2,
};
