#pragma once
// The file side of one transfer: the "TFR" temporary file in the download folder that the
// body streams into, and its move to the final name by the save policy. No HTTP here.
#include "config/FileSavePolicy.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CDownloadFile {
public:
    enum SaveResult {
        SR_SAVED,          // moved to its final name
        SR_NAME_TAKEN,     // Skip: the name exists now
        SR_NO_UNIQUE_NAME, // Rename: every candidate is taken
        SR_MOVE_FAILED,    // the move itself failed; the temporary file is gone
        SR_NOTHING_OPEN,   // no temporary file to save
    };

    CDownloadFile() = default;
    ~CDownloadFile() { Discard(); } // a temporary file still open is deleted
    CDownloadFile(const CDownloadFile&) = delete;
    CDownloadFile& operator=(const CDownloadFile&) = delete;

    // Creates a new temporary file in `folder` (with its trailing separator). False when
    // the folder cannot take one.
    bool Create(const std::string& folder);
    // Appends a block. On failure (disk full, file too large, folder gone) the temporary
    // file is deleted and false returned.
    bool Write(const char* data, std::size_t bytes);
    // Closes and deletes the temporary file, if any.
    void Discard();

    // Moves the temporary file into `folder` under `name` by `policy`; Rename may change
    // `name`. On success `savedPath` is the final path. Only Overwrite replaces an
    // existing file, even one that appears while the move happens.
    SaveResult Save(const std::string& folder, FileSavePolicy policy, std::string& name, std::string& savedPath);

    bool IsOpen() const { return m_fd >= 0; }
    std::int64_t BytesWritten() const { return m_written; }
    const std::string& TempPath() const { return m_tempPath; }

private:
    int m_fd = -1;
    std::string m_tempPath;
    std::int64_t m_written = 0;
};
