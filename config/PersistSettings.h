#pragma once
// What the user interface remembers between runs: recent addresses and folders, the main
// window's rectangle and column layouts. Stored in QR_Settings.xml in the application folder.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class PersistSettings {
public:
    static constexpr unsigned kClassVersion = 4;
    static constexpr const char* kFileName = "QR_Settings.xml";
    static constexpr const char* kMutexName = "QR_PS_MUTEX_9801";
    static constexpr unsigned kMutexWaitMs = 3000;

    // A window rectangle in screen coordinates.
    struct Rect {
        std::int32_t left = 0;
        std::int32_t top = 0;
        std::int32_t right = 0;
        std::int32_t bottom = 0;

        // No area: the window then gets its default placement.
        bool IsEmpty() const { return right <= left || bottom <= top; }
        void SetEmpty() { *this = Rect(); }
        bool operator==(const Rect&) const = default;
    };

    // Fills the record from the file at `path` (null: the default file). Reads files of
    // every earlier version. Never throws: on any failure the rectangle is emptied and the
    // rest keeps what was read before the failure.
    void Restore(const char* path) noexcept;

    // Writes the whole record (version 4) to `path` (null: the default file, creating its
    // folder). The old file is replaced in one step; a file that cannot be written is
    // silently left as it was. Throws HELPERS::WException if the mutex cannot be had (also
    // when its lock folder is not safe to use) or the folder cannot be created.
    void Save(const char* path) const;

    // The document Save writes.
    std::string ToXml() const;

    bool operator==(const PersistSettings&) const = default;

    std::deque<std::string> m_recentSites;           // newest first, at most 20
    std::deque<std::string> m_recentDownloadFolders; // newest first, at most 15
    std::deque<std::string> m_recentCopyMoveFolders; // newest first, at most 10
    Rect m_frameWinPos;
    std::vector<std::int32_t> m_ftViewColWidths; // used only when it holds exactly 2
    std::vector<std::int32_t> m_mainViewHdrCols;
    std::vector<std::int32_t> m_mainViewHdrColOrdering;
    std::vector<std::int32_t> m_mainViewHdrColWidths;
};

// Puts `folder` at the front of the recent download folders. An entry equal to it apart
// from the case of ASCII letters is replaced (unless it is already first, which changes
// nothing); otherwise the oldest entries go so that at most 15 remain.
void AddRecentDownloadFolder(const std::string& folder, PersistSettings& settings);
