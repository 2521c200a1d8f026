#include "engine/DownloadFile.h"

#include "helpers/PathHelpers.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Saved files get the permissions a newly created file of the user would get; mkstemp
// makes them 0600. The umask is read from /proc so no other thread sees it changed.
mode_t SavedFileMode()
{
    static const mode_t mode = [] {
        mode_t mask = 022;
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("Umask:", 0) == 0) {
                mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
                break;
            }
        }
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

} // namespace

bool CDownloadFile::Create(const std::string& folder)
{
    Discard();
    std::string path = HELPERS::GetFullFilePath("TFRXXXXXX", folder);
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    ::fchmod(fd, SavedFileMode());
    m_fd = fd;
    m_tempPath = path;
    m_written = 0;
    return true;
}

bool CDownloadFile::Write(const char* data, std::size_t bytes)
{
    if (m_fd < 0)
        return false;
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::write(m_fd, data + done, bytes - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Discard();
            return false;
        }
        done += static_cast<std::size_t>(n);
        m_written += n;
    }
    return true;
}

void CDownloadFile::Discard()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_tempPath.c_str());
}

CDownloadFile::SaveResult CDownloadFile::Save(const std::string& folder, FileSavePolicy policy, std::string& name,
                                              std::string& savedPath)
{
    if (m_fd < 0)
        return SR_NOTHING_OPEN;
    if (HELPERS::FileExists(name, folder)) {
        if (policy == FSP_SKIP)
            return SR_NAME_TAKEN;
        if (policy == FSP_RENAME && !HELPERS::MakeUniqueFileName(name, folder))
            return SR_NO_UNIQUE_NAME;
    }
    const std::string path = HELPERS::GetFullFilePath(name, folder);
    // A close that fails may mean lost data (a full disk on a network file system).
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    // Only Overwrite may replace a file; a name taken meanwhile fails the move instead of
    // destroying that file.
    const unsigned flags = policy == FSP_OVERWRITE ? 0u : RENAME_NOREPLACE;
    if (!closed || ::renameat2(AT_FDCWD, m_tempPath.c_str(), AT_FDCWD, path.c_str(), flags) != 0) {
        ::unlink(m_tempPath.c_str());
        return SR_MOVE_FAILED;
    }
    savedPath = path;
    return SR_SAVED;
}
